#include "Netlist.h"

#include <algorithm>
#include <cctype>
#include <unordered_map>
#include <unordered_set>

namespace {

// Lists deeper than this are no netlist KiCad writes (it nests six deep).
const size_t MOST_DEPTH = 64;

std::string At(int nLine, const std::string& what)
{
    return "line " + std::to_string(nLine) + ": " + what;
}

// Where each pin stands: a pin on two nets, or twice on one, is a mistake in the file.
class CPinPlaces
{
public:
    bool Add(const NetNode& node, const std::string& net, int nLine, std::string& strError)
    {
        const auto placed = m_places.emplace(node.ref + "." + node.pin, net);
        if (placed.second)
            return true;
        strError = At(nLine, node.ref + "." + node.pin + (placed.first->second == net
                                                              ? " stands on the net " + net + " twice"
                                                              : " stands on the nets " + placed.first->second + " and " + net));
        return false;
    }

private:
    std::unordered_map<std::string, std::string> m_places;
};

// One list of KiCad's file as it is read: its head word, and what its lists below gave it.
struct Frame
{
    std::string head;
    int nLine = 0;
    std::string value;  // the first word or string after the head
    bool bValue = false;
    NetNode node;       // a node's ref and pin
    Net net;            // a net's name and nodes
};

} // namespace

const Net* Netlist::Find(const std::string& name) const
{
    for (const Net& net : nets)
    {
        if (net.name == name)
            return &net;
    }
    return nullptr;
}

bool ParseNetlist(const std::string& text, Netlist& netlist, std::string& strError)
{
    size_t nFirst = 0;
    while (nFirst < text.size() && isspace(static_cast<unsigned char>(text[nFirst])))
        ++nFirst;
    return nFirst < text.size() && text[nFirst] == '(' ? ParseKicadNetlist(text, netlist, strError)
                                                       : ParseCsvNetlist(text, netlist, strError);
}

bool ParseKicadNetlist(const std::string& text, Netlist& netlist, std::string& strError)
{
    netlist = Netlist();
    std::vector<Frame> stack;
    CPinPlaces places;
    std::unordered_set<std::string> names;
    bool bNets = false;
    int nLine = 1;
    auto fail = [&](const std::string& what) {
        strError = At(nLine, what);
        netlist = Netlist();
        return false;
    };
    for (size_t i = 0; i < text.size();)
    {
        const char c = text[i];
        if (c == '\n')
            ++nLine;
        if (isspace(static_cast<unsigned char>(c)))
        {
            ++i;
            continue;
        }
        if (c == '(')
        {
            if (stack.size() >= MOST_DEPTH)
                return fail("lists nest deeper than " + std::to_string(MOST_DEPTH) + ": this is no KiCad netlist");
            stack.emplace_back();
            stack.back().nLine = nLine;
            ++i;
            continue;
        }
        if (c == ')')
        {
            if (stack.empty())
                return fail("a \")\" closes no list");
            Frame frame = std::move(stack.back());
            stack.pop_back();
            Frame* pParent = stack.empty() ? nullptr : &stack.back();
            const std::string parent = pParent != nullptr ? pParent->head : std::string();
            if ((frame.head == "ref" || frame.head == "pin") && parent == "node")
                (frame.head == "ref" ? pParent->node.ref : pParent->node.pin) = frame.value;
            else if (frame.head == "name" && parent == "net")
                pParent->net.name = frame.value;
            else if (frame.head == "node" && parent == "net")
            {
                if (frame.node.ref.empty() || frame.node.pin.empty())
                {
                    nLine = frame.nLine;
                    return fail("a node without its ref or its pin");
                }
                pParent->net.nodes.push_back(frame.node);
            }
            else if (frame.head == "net" && parent == "nets")
            {
                nLine = frame.nLine;
                if (frame.net.name.empty())
                    return fail("a net without its name");
                if (!names.insert(frame.net.name).second)
                    return fail("the net " + frame.net.name + " is given twice");
                for (const NetNode& node : frame.net.nodes)
                {
                    if (!places.Add(node, frame.net.name, frame.nLine, strError))
                    {
                        netlist = Netlist();
                        return false;
                    }
                }
                netlist.nets.push_back(std::move(frame.net));
            }
            else if (frame.head == "nets")
                bNets = true;
            ++i;
            continue;
        }
        // A word, or a string in double quotes with \" and \\ inside.
        std::string word;
        if (c == '"')
        {
            const int nStart = nLine;
            for (++i; i < text.size() && text[i] != '"'; ++i)
            {
                if (text[i] == '\n')
                    ++nLine;
                if (text[i] == '\\' && i + 1 < text.size())
                    ++i;
                word += text[i];
            }
            if (i >= text.size())
            {
                nLine = nStart;
                return fail("a string is never closed");
            }
            ++i;
        }
        else
        {
            for (; i < text.size() && !isspace(static_cast<unsigned char>(text[i])) && text[i] != '(' &&
                   text[i] != ')' && text[i] != '"';
                 ++i)
                word += text[i];
        }
        if (stack.empty())
            return fail("\"" + word + "\" stands outside any list");
        Frame& frame = stack.back();
        if (frame.head.empty())
            frame.head = word;
        else if (!frame.bValue)
        {
            frame.value = word;
            frame.bValue = true;
        }
    }
    if (!stack.empty())
    {
        nLine = stack.back().nLine;
        return fail("a list opened here is never closed");
    }
    if (!bNets)
        return fail("no (nets ...) list: this is no KiCad netlist (export it with File, Export, Netlist)");
    return true;
}

bool ParseCsvNetlist(const std::string& text, Netlist& netlist, std::string& strError)
{
    netlist = Netlist();
    std::unordered_map<std::string, size_t> nets;  // name, index in netlist.nets
    CPinPlaces places;
    int nLine = 0;
    for (size_t nAt = 0; nAt < text.size();)
    {
        const size_t nEnd = std::min(text.find('\n', nAt), text.size());
        const std::string line = text.substr(nAt, nEnd - nAt);
        nAt = nEnd + 1;
        ++nLine;
        // Fields split at commas, each trimmed and taken out of its double quotes.
        std::vector<std::string> fields(1);
        bool bQuoted = false;
        for (size_t i = 0; i < line.size(); ++i)
        {
            const char c = line[i];
            if (c == '"' && bQuoted && i + 1 < line.size() && line[i + 1] == '"')
                fields.back() += line[++i];
            else if (c == '"')
                bQuoted = !bQuoted;
            else if (c == ',' && !bQuoted)
                fields.emplace_back();
            else if (c != '\r' && (bQuoted || !isspace(static_cast<unsigned char>(c))))
                fields.back() += c;
        }
        if ((fields.size() == 1 && fields[0].empty()) || (!fields[0].empty() && fields[0][0] == '#'))
            continue;
        if (nLine == 1 && fields.size() == 3 && fields[0] == "net" && fields[1] == "ref" && fields[2] == "pin")
            continue;
        if (fields.size() != 3 || fields[0].empty() || fields[1].empty() || fields[2].empty())
        {
            strError = At(nLine, "a line is net,ref,pin (SDA,U3,12): \"" + line.substr(0, 80) + "\"");
            netlist = Netlist();
            return false;
        }
        const NetNode node = {fields[1], fields[2]};
        if (!places.Add(node, fields[0], nLine, strError))
        {
            netlist = Netlist();
            return false;
        }
        const auto found = nets.emplace(fields[0], netlist.nets.size());
        if (found.second)
            netlist.nets.push_back(Net{fields[0], {}});
        netlist.nets[found.first->second].nodes.push_back(node);
    }
    if (netlist.nets.empty())
    {
        strError = "line 1: no net,ref,pin line: the netlist is empty";
        return false;
    }
    return true;
}
