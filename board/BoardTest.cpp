#include "BoardTest.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <set>
#include <unordered_map>

namespace {

// A part the netlist names that is no chip on the chain, but an integrated circuit ("U9", "IC2"),
// may drive its nets: a resistor, a connector or a LED does not.
bool MayDrive(const std::string& ref)
{
    const std::string upper = UpperCase(ref);
    const size_t nLetters = upper.compare(0, 2, "IC") == 0 ? 2 : upper.compare(0, 1, "U") == 0 ? 1 : 0;
    return nLetters > 0 && upper.size() > nLetters && isdigit(static_cast<unsigned char>(upper[nLetters])) != 0;
}

// Each port element of a chip's file, by its package pin and by its name: "LED(1)", "12".
struct PortElement
{
    std::string name;
    BsdlDirection direction;
    int nPin = -1;        // among BoundaryPins; -1: the element has no cell
    std::string package;  // its package pin; empty where the file maps none
};

std::unordered_map<std::string, PortElement> PortElements(const BsdlFile& file, const std::vector<BoundaryPin>& pins)
{
    std::unordered_map<std::string, int> withCell;
    for (size_t i = 0; i < pins.size(); ++i)
        withCell.emplace(UpperCase(pins[i].strPort), static_cast<int>(i));
    std::unordered_map<std::string, PortElement> elements;
    for (const BsdlPort& port : file.ports)
    {
        const int nStep = port.nLast >= port.nFirst ? 1 : -1;
        for (size_t k = 0; k < port.pins.size() || (!port.bVector && k == 0); ++k)
        {
            const std::string name =
                port.bVector ? port.strName + "(" + std::to_string(port.nFirst + nStep * static_cast<int>(k)) + ")" : port.strName;
            const auto cell = withCell.find(UpperCase(name));
            const PortElement element = {name, port.direction, cell == withCell.end() ? -1 : cell->second,
                                         k < port.pins.size() ? port.pins[k] : std::string()};
            elements.emplace(UpperCase(name), element);
            if (k < port.pins.size())
                elements.emplace(UpperCase(port.pins[k]), element);
            if (!port.bVector)
                break;
        }
    }
    return elements;
}

std::string List(const std::vector<std::string>& names)
{
    std::string text;
    for (const std::string& name : names)
        text += (text.empty() ? "" : ", ") + name;
    return text;
}

// The pins whose drivers switch together: one group per control cell, and one per pin without.
struct DriverGroupOf
{
    size_t nChip;
    int nKey;  // the control cell, or -2 - the pin for a pin that has none
    bool operator<(const DriverGroupOf& other) const
    {
        return nChip != other.nChip ? nChip < other.nChip : nKey < other.nKey;
    }
    bool operator==(const DriverGroupOf& other) const { return nChip == other.nChip && nKey == other.nKey; }
};

DriverGroupOf GroupOf(const BoardPlan& plan, const BoardPin& pin)
{
    const BoundaryPin& boundary = plan.pins[pin.nChip][pin.nPin];
    return {pin.nChip, boundary.nControl >= 0 ? boundary.nControl : -2 - static_cast<int>(pin.nPin)};
}

bool AlwaysOn(const BoardPlan& plan, const BoardPin& pin)
{
    return plan.pins[pin.nChip][pin.nPin].nControl < 0;
}

// 0 or 1 where every reading is that level, -1 where they differ (or there are none).
int SteadyLevel(const std::vector<bool>& bits)
{
    if (bits.empty())
        return -1;
    return std::count(bits.begin(), bits.end(), bits.front()) == static_cast<std::ptrdiff_t>(bits.size()) ? bits.front()
                                                                                                           : -1;
}

bool CodeBit(const BoardPlan& plan, uint32_t nCode, size_t nPattern)
{
    const size_t nBit = nPattern % plan.PatternsPerPass();
    return nBit < plan.nCodeBits ? ((nCode >> nBit) & 1) != 0 : ((nCode >> (nBit - plan.nCodeBits)) & 1) == 0;
}

} // namespace

size_t BoardPlan::Tested() const
{
    size_t nTested = 0;
    for (const BoardNet& net : nets)
        nTested += net.why.empty() ? 1 : 0;
    return nTested;
}

std::string BoardPlan::PinName(const BoardPin& pin) const
{
    const BoundaryPin& boundary = pins[pin.nChip][pin.nPin];
    return chips[pin.nChip].ref + "." + (boundary.strPin.empty() ? boundary.strPort : boundary.strPin);
}

bool PlanBoardTest(const Netlist& netlist, const std::vector<BoardChip>& chips, BoardPlan& plan, std::string& strError)
{
    plan = BoardPlan();
    plan.chips = chips;
    std::unordered_map<std::string, size_t> chipOf;
    std::vector<std::unordered_map<std::string, PortElement>> elements;
    for (size_t c = 0; c < chips.size(); ++c)
    {
        chipOf.emplace(UpperCase(chips[c].ref), c);
        plan.pins.push_back(BoundaryPins(*chips[c].pFile));
        elements.push_back(PortElements(*chips[c].pFile, plan.pins.back()));
    }
    // Where each net's pins are: the scan pins, and what keeps the rest from the test.
    std::map<DriverGroupOf, std::set<size_t>> groupNets;  // the nets each group's pins stand on
    std::set<std::pair<size_t, size_t>> onNet;             // (chip, pin) on some net
    for (const Net& net : netlist.nets)
    {
        BoardNet board;
        board.name = net.name;
        std::vector<std::string> linkage, noCell, others, scan;
        for (const NetNode& node : net.nodes)
        {
            const auto chip = chipOf.find(UpperCase(node.ref));
            if (chip == chipOf.end())
            {
                if (MayDrive(node.ref))
                    others.push_back(node.ref + "." + node.pin);
                continue;
            }
            const auto element = elements[chip->second].find(UpperCase(node.pin));
            const std::string name = node.ref + "." + node.pin;
            if (element == elements[chip->second].end())
                noCell.push_back(name + " (no pin of " + chips[chip->second].pFile->strEntity + ")");
            else if (element->second.direction == BsdlDirection::Linkage)
                linkage.push_back(name + " (" + element->second.name + ")");
            else if (element->second.nPin < 0)
                noCell.push_back(name + " (" + element->second.name + ")");
            else
            {
                const BoardPin pin = {chip->second, static_cast<size_t>(element->second.nPin)};
                const BoundaryPin& boundary = plan.pins[pin.nChip][pin.nPin];
                scan.push_back(name);
                onNet.emplace(pin.nChip, pin.nPin);
                if (boundary.CanDrive())
                    board.drivers.push_back(pin);
                if (boundary.nInput >= 0)
                    board.receivers.push_back(pin);
            }
        }
        if (!linkage.empty())
            board.why = "a linkage or power pin: " + List(linkage);
        else if (!others.empty())
            board.why = "a part with no boundary scan on it that could drive the net: " + List(others);
        else if (scan.size() == 1)
            board.why = "one scan pin only: " + scan.front();
        else if (scan.size() > 1 && board.drivers.empty())
            board.why = "input pins only: " + List(scan);
        else if (scan.empty() && !noCell.empty())
            board.why = "a pin with no cell: " + List(noCell);
        else if (scan.empty())
            board.why = "no boundary-scan pin on it";
        plan.nets.push_back(board);
    }
    // A chip's compliance pins are held where its file says, by a scan pin that drives their net
    // where one can, else by the board itself.
    std::unordered_map<std::string, size_t> netOf;
    for (size_t n = 0; n < netlist.nets.size(); ++n)
    {
        for (const NetNode& node : netlist.nets[n].nodes)
            netOf.emplace(UpperCase(node.ref) + "." + UpperCase(node.pin), n);
    }
    for (size_t c = 0; c < chips.size(); ++c)
    {
        for (const std::pair<std::string, char>& held : chips[c].pFile->compliance)
        {
            const auto element = elements[c].find(UpperCase(held.first));
            if (element == elements[c].end() || held.second == 'X')
                continue;
            const auto net = netOf.find(UpperCase(chips[c].ref) + "." + UpperCase(element->second.package));
            if (net == netOf.end())
                continue;
            BoardNet& board = plan.nets[net->second];
            board.cHold = held.second;
            board.why = "holds " + chips[c].ref + "'s compliance pin " + element->second.name + " at " +
                        std::string(1, held.second);
        }
    }
    // Nets with two drivers that are always on cannot be driven one at a time; a driver that is
    // always on is its net's only one.
    for (BoardNet& net : plan.nets)
    {
        std::vector<BoardPin> alwaysOn;
        for (const BoardPin& pin : net.drivers)
        {
            if (AlwaysOn(plan, pin))
                alwaysOn.push_back(pin);
        }
        if (alwaysOn.size() > 1 && net.why.empty())
        {
            std::vector<std::string> names;
            for (const BoardPin& pin : alwaysOn)
                names.push_back(plan.PinName(pin));
            net.why = "drivers that cannot be switched off: " + List(names);
        }
        if (alwaysOn.size() == 1)
            net.drivers = alwaysOn;
    }
    // A driver can switch on only where every pin that switches with it is on a net under test
    // (or on none), or it alone holds a net: taking one out may take its net, and so other
    // drivers, out too.
    for (bool bChanged = true; bChanged;)
    {
        bChanged = false;
        groupNets.clear();
        std::map<DriverGroupOf, size_t> pinsOnNets;
        std::map<DriverGroupOf, bool> usable;
        for (size_t n = 0; n < plan.nets.size(); ++n)
        {
            for (const BoardPin& pin : plan.nets[n].drivers)
            {
                groupNets[GroupOf(plan, pin)].insert(n);
                usable[GroupOf(plan, pin)] = true;
            }
        }
        for (size_t c = 0; c < chips.size(); ++c)
        {
            for (size_t p = 0; p < plan.pins[c].size(); ++p)
            {
                const auto group = usable.find(GroupOf(plan, {c, p}));
                if (group == usable.end() || !plan.pins[c][p].CanDrive() || onNet.count({c, p}) == 0)
                    continue;
                ++pinsOnNets[group->first];
                bool bTested = false;
                for (size_t n : groupNets[group->first])
                {
                    for (const BoardPin& driver : plan.nets[n].drivers)
                        bTested = bTested || (driver.nChip == c && driver.nPin == p && plan.nets[n].why.empty());
                }
                group->second = group->second && bTested;
            }
        }
        for (BoardNet& net : plan.nets)
        {
            const size_t nBefore = net.drivers.size();
            std::vector<std::string> shared;
            net.drivers.erase(std::remove_if(net.drivers.begin(), net.drivers.end(),
                                             [&](const BoardPin& pin) {
                                                 const DriverGroupOf group = GroupOf(plan, pin);
                                                 if (net.cHold != 0 ? pinsOnNets[group] == 1 : usable[group])
                                                     return false;
                                                 shared.push_back(plan.PinName(pin));
                                                 return true;
                                             }),
                              net.drivers.end());
            bChanged = bChanged || net.drivers.size() != nBefore;
            if (net.why.empty() && net.drivers.empty())
                net.why = "its drivers switch on with pins of nets not tested: " + List(shared);
        }
    }
    // The codes, 0 to N-1, over the fewest bits that tell them apart and one more that is 0 in
    // every code: no code is then another's complement, so two shorted nets never read all zeros
    // or all ones, which would look like two stuck nets.
    uint32_t nCode = 0;
    for (BoardNet& net : plan.nets)
    {
        if (net.why.empty())
            net.nCode = nCode++;
    }
    plan.nCodeBits = 1;
    while (plan.nCodeBits < 32 && (uint64_t(1) << (plan.nCodeBits - 1)) < nCode)
        ++plan.nCodeBits;
    // The passes: each group of drivers switches on in one, no net driven twice in a pass.
    std::map<DriverGroupOf, bool> done;
    for (size_t n = 0; n < plan.nets.size(); ++n)
    {
        for (const BoardPin& pin : plan.nets[n].drivers)
            done[GroupOf(plan, pin)] = !plan.nets[n].why.empty();
    }
    const auto allDone = [&]() {
        for (const auto& group : done)
        {
            if (!group.second)
                return false;
        }
        return true;
    };
    while (nCode > 0 && !allDone())
    {
        std::vector<int> pass(plan.nets.size(), -1);
        for (auto& group : done)
        {
            // A held net's driver holds it in every pattern, in no pass: only tested nets are in one.
            std::vector<size_t> nets;
            for (size_t n : groupNets[group.first])
            {
                if (plan.nets[n].why.empty())
                    nets.push_back(n);
            }
            const bool bAlwaysOn = group.first.nKey < -1;
            bool bFree = true;
            for (size_t n : nets)
                bFree = bFree && pass[n] < 0;
            if ((group.second && !bAlwaysOn) || !bFree)
                continue;
            group.second = true;
            for (size_t n : nets)
            {
                const std::vector<BoardPin>& drivers = plan.nets[n].drivers;
                for (size_t d = 0; d < drivers.size(); ++d)
                {
                    if (GroupOf(plan, drivers[d]) == group.first)
                        pass[n] = static_cast<int>(d);
                }
            }
        }
        plan.passes.push_back(pass);
    }
    // Every pattern must be one the chips can take.
    std::vector<CBits> bits;
    for (size_t k = 0; k < plan.passes.size(); ++k)
    {
        if (!PatternBoundaries(plan, k * plan.PatternsPerPass(), bits, strError))
            return false;
    }
    return true;
}

bool PatternBoundaries(const BoardPlan& plan, size_t nPattern, std::vector<CBits>& bits, std::string& strError)
{
    std::vector<std::vector<PinDrive>> drives;
    for (const std::vector<BoundaryPin>& pins : plan.pins)
        drives.emplace_back(pins.size(), PinDrive::Safe);
    const std::vector<int>* pPass = plan.passes.empty() ? nullptr : &plan.passes[nPattern / plan.PatternsPerPass()];
    // Every tested net's drivers off but the pass's one; held nets at their level.
    for (size_t n = 0; n < plan.nets.size(); ++n)
    {
        const BoardNet& net = plan.nets[n];
        for (size_t d = 0; d < net.drivers.size(); ++d)
        {
            PinDrive& drive = drives[net.drivers[d].nChip][net.drivers[d].nPin];
            if (net.cHold != 0)
                drive = d == 0 ? (net.cHold == '1' ? PinDrive::High : PinDrive::Low) : PinDrive::Off;
            else if (pPass != nullptr && (*pPass)[n] == static_cast<int>(d))
                drive = CodeBit(plan, net.nCode, nPattern) ? PinDrive::High : PinDrive::Low;
            else if (!AlwaysOn(plan, net.drivers[d]))
                drive = PinDrive::Off;
        }
    }
    // A pin on no net that switches on with a driver drives 0: nothing hears it.
    for (size_t c = 0; c < plan.pins.size(); ++c)
    {
        std::unordered_map<int, std::vector<size_t>> byControl = DriversByControl(plan.pins[c]);
        for (size_t p = 0; p < plan.pins[c].size(); ++p)
        {
            const int nControl = plan.pins[c][p].nControl;
            if (nControl < 0 || byControl[nControl].empty() ||
                (drives[c][p] != PinDrive::High && drives[c][p] != PinDrive::Low))
                continue;
            const std::vector<size_t> group = std::move(byControl[nControl]);
            byControl[nControl].clear();
            for (size_t q : group)
            {
                if (drives[c][q] == PinDrive::Safe || drives[c][q] == PinDrive::Off)
                    drives[c][q] = drives[c][q] == PinDrive::Off ? PinDrive::Off : PinDrive::Low;
            }
        }
    }
    bits.assign(plan.chips.size(), CBits());
    for (size_t c = 0; c < plan.chips.size(); ++c)
    {
        std::string strWhy;
        if (!DrivenBoundary(*plan.chips[c].pFile, plan.pins[c], drives[c], bits[c], strWhy))
        {
            strError = plan.chips[c].ref + ": " + strWhy;
            return false;
        }
    }
    return true;
}

std::vector<CBits> SafeBoundaries(const BoardPlan& plan)
{
    std::vector<CBits> bits;
    for (const BoardChip& chip : plan.chips)
        bits.push_back(SafeBoundary(*chip.pFile));
    return bits;
}

const char* NetVerdictName(NetVerdict result)
{
    // In the order of NetVerdict.
    static const char* const NAMES[] = {"not tested", "good", "open", "short", "stuck0", "stuck1"};
    return NAMES[static_cast<size_t>(result)];
}

std::string BoardReport::Summary() const
{
    return std::to_string(nTested) + " nets tested, " + std::to_string(faults.size()) + " fault" +
           (faults.size() == 1 ? "" : "s") + ", " + std::to_string(nUntestable) + " net" + (nUntestable == 1 ? "" : "s") +
           " not testable";
}

std::vector<const BoardNet*> BoardReport::NetsFaultyFirst() const
{
    std::vector<const BoardNet*> listed;
    for (int nRank = 0; nRank < 3; ++nRank)
    {
        for (const BoardNet& net : nets)
        {
            const int nNetRank = net.result == NetVerdict::NotTested ? 2 : net.result == NetVerdict::Good ? 1 : 0;
            if (nNetRank == nRank)
                listed.push_back(&net);
        }
    }
    return listed;
}

BoardReport DiagnoseBoard(const BoardPlan& plan, const std::vector<std::vector<CBits>>& captures)
{
    BoardReport report;
    report.nets = plan.nets;
    const size_t nPer = plan.PatternsPerPass();
    // What a pin read over one pass's patterns, bit k for pattern k.
    const auto read = [&](const BoardPin& pin, size_t nFrom, size_t nCount) {
        std::vector<bool> bits;
        const int nCell = plan.pins[pin.nChip][pin.nPin].nInput;
        for (size_t k = nFrom; k < nFrom + nCount && k < captures.size(); ++k)
            bits.push_back(captures[k][pin.nChip][static_cast<size_t>(nCell)]);
        return bits;
    };
    const auto expected = [&](uint32_t nCode) {
        std::vector<bool> bits;
        for (size_t k = 0; k < nPer; ++k)
            bits.push_back(CodeBit(plan, nCode, k));
        return bits;
    };
    std::set<std::string> said, links;
    const auto fault = [&](const std::string& line) {
        if (said.insert(line).second)
            report.faults.push_back(line);
    };
    std::set<std::pair<size_t, std::string>> found;
    const auto finding = [&](size_t n, const std::string& text) {
        if (found.insert({n, text}).second)
            report.nets[n].findings.push_back(text);
    };
    for (size_t p = 0; p < plan.passes.size(); ++p)
    {
        const std::vector<int>& pass = plan.passes[p];
        // The nets whose receivers did not all read their code, with what each receiver read.
        std::map<std::vector<bool>, std::vector<size_t>> wrongBy;
        std::vector<std::vector<std::pair<BoardPin, std::vector<bool>>>> wrong(plan.nets.size());
        std::vector<bool> hears(plan.nets.size(), false);  // a receiver reads it in this pass
        for (size_t n = 0; n < plan.nets.size(); ++n)
        {
            const BoardNet& net = plan.nets[n];
            if (pass[n] < 0)
                continue;
            const BoardPin& driver = net.drivers[static_cast<size_t>(pass[n])];
            const std::vector<bool> code = expected(net.nCode);
            int nSteady = -2;  // every receiver's steady level; -2 before the first, -1 for none
            for (const BoardPin& receiver : net.receivers)
            {
                if (receiver.nChip == driver.nChip && receiver.nPin == driver.nPin)
                    continue;
                const std::vector<bool> bits = read(receiver, p * nPer, nPer);
                hears[n] = true;
                nSteady = nSteady == -2 || nSteady == SteadyLevel(bits) ? SteadyLevel(bits) : -1;
                if (bits != code)
                    wrong[n].emplace_back(receiver, bits);
            }
            if (wrong[n].empty())
            {
                if (report.nets[n].result == NetVerdict::NotTested)
                    report.nets[n].result = NetVerdict::Good;
                continue;
            }
            // Every receiver at one level throughout (a wrong one was read, so there is one).
            if (nSteady >= 0)
            {
                report.nets[n].result = nSteady == 0 ? NetVerdict::Stuck0 : NetVerdict::Stuck1;
                fault("stuck" + std::to_string(nSteady) + "  " + net.name);
                finding(n, "stuck at " + std::to_string(nSteady));
                wrong[n].clear();
                continue;
            }
            for (const auto& seen : wrong[n])
                wrongBy[seen.second].push_back(n);
        }
        // Nets whose receivers read one same code that is their codes ANDed or ORed are shorted.
        std::set<std::vector<bool>> shorts;
        const auto merged = [&](const std::vector<size_t>& nets, bool bOr) {
            std::vector<bool> bits(nPer, !bOr);
            for (size_t n : nets)
            {
                const std::vector<bool> code = expected(plan.nets[n].nCode);
                for (size_t k = 0; k < nPer; ++k)
                    bits[k] = bOr ? bits[k] || code[k] : bits[k] && code[k];
            }
            return bits;
        };
        for (const auto& same : wrongBy)
        {
            std::vector<size_t> nets = same.second;
            nets.erase(std::unique(nets.begin(), nets.end()), nets.end());
            // A net whose own receivers alone show the short: the other net, driven in this pass,
            // has no receiver of its own that reads (else they would read the same).
            for (size_t m = 0; nets.size() == 1 && m < plan.nets.size(); ++m)
            {
                if (m != nets[0] && pass[m] >= 0 && !hears[m] &&
                    (merged({nets[0], m}, false) == same.first || merged({nets[0], m}, true) == same.first))
                    nets.insert(m < nets[0] ? nets.begin() : nets.end(), m);
            }
            const bool bOr = merged(nets, true) == same.first;
            if (nets.size() < 2 || (merged(nets, false) != same.first && !bOr))
                continue;
            std::string line = "short";
            for (size_t n : nets)
            {
                line += "  " + plan.nets[n].name;
                report.nets[n].result = NetVerdict::Short;
                std::string others;
                for (size_t m : nets)
                    others += m == n ? "" : (others.empty() ? "" : ", ") + plan.nets[m].name;
                finding(n, "shorted to " + others + (bOr ? " (wired-OR)" : " (wired-AND)"));
            }
            shorts.insert(same.first);
            fault(line + (bOr ? "  wired-OR" : "  wired-AND"));
        }
        // What is left is a receiver that does not follow its driver.
        for (size_t n = 0; n < plan.nets.size(); ++n)
        {
            for (const auto& seen : wrong[n])
            {
                if (shorts.count(seen.second) != 0)
                    continue;
                const BoardNet& net = plan.nets[n];
                if (report.nets[n].result != NetVerdict::Short)
                    report.nets[n].result = NetVerdict::Open;
                // A link broken between two pins that each drive is one fault, whichever drove.
                const std::string driver = plan.PinName(net.drivers[static_cast<size_t>(pass[n])]);
                const std::string receiver = plan.PinName(seen.first);
                if (!links.insert(net.name + " " + std::min(driver, receiver) + " " + std::max(driver, receiver)).second)
                    continue;
                fault("open  " + net.name + "  DRIVER " + driver + " -> RECEIVER " + receiver);
                finding(n, "DRIVER " + driver + " -> RECEIVER " + receiver);
            }
        }
    }
    // Nets nothing drives, read all along: one that never moves is pulled there.
    for (size_t n = 0; n < plan.nets.size(); ++n)
    {
        const BoardNet& net = plan.nets[n];
        if (!net.drivers.empty() || net.receivers.empty() || net.cHold != 0 || captures.empty())
            continue;
        const int nLevel = SteadyLevel(read(net.receivers.front(), 0, captures.size()));
        if (nLevel < 0)
            continue;
        const std::string reads = "reads " + std::to_string(nLevel) + " with nothing driving it";
        report.notes.push_back(std::string(nLevel == 1 ? "pullup  " : "pulldown  ") + net.name + "  " + reads +
                               " (information, not a fault)");
        finding(n, std::string(nLevel == 1 ? "pulled up: " : "pulled down: ") + reads);
    }
    report.nTested = plan.Tested();
    report.nUntestable = plan.nets.size() - report.nTested;
    return report;
}
