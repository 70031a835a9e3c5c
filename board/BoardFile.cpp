#include "BoardFile.h"

#include <cctype>
#include <cstdlib>

#include "../bsdl/Bsdl.h"
#include "../chain/ChainScan.h"

namespace {

std::string Trimmed(const std::string& text)
{
    const size_t nFirst = text.find_first_not_of(" \t\r");
    if (nFirst == std::string::npos)
        return std::string();
    return text.substr(nFirst, text.find_last_not_of(" \t\r") - nFirst + 1);
}

bool SameNoCase(const std::string& a, const std::string& b)
{
    return UpperCase(a) == UpperCase(b);
}

std::vector<std::string> SplitAtCommas(const std::string& text)
{
    std::vector<std::string> parts;
    size_t nFrom = 0;
    for (;;)
    {
        const size_t nComma = text.find(',', nFrom);
        parts.push_back(Trimmed(text.substr(nFrom, nComma == std::string::npos ? std::string::npos : nComma - nFrom)));
        if (nComma == std::string::npos)
            return parts;
        nFrom = nComma + 1;
    }
}

// A reference designator or a net's name: printable, no separator of this file in it.
bool IsName(const std::string& text)
{
    if (text.empty())
        return false;
    for (char c : text)
    {
        // Letters of other scripts (UTF-8's bytes from 0x80) are names too; spaces and controls not.
        const unsigned char u = static_cast<unsigned char>(c);
        if (u <= ' ' || u == 0x7F || c == ',' || c == '=' || c == ';' || c == '[' || c == ']')
            return false;
    }
    return true;
}

std::string Joined(const std::string& strFolder, const std::string& strPath)
{
    const bool bAbsolute = !strPath.empty() && (strPath[0] == '/' || strPath[0] == '\\' ||
                                                (strPath.size() > 1 && strPath[1] == ':'));
    return bAbsolute ? strPath : strFolder + strPath;
}

} // namespace

size_t BoardFile::DeviceOf(const std::string& ref) const
{
    for (const std::pair<std::string, size_t>& known : refs)
    {
        if (SameNoCase(known.first, ref))
            return known.second;
    }
    return 0;
}

std::string BoardFile::BsdlOf(const std::string& ref) const
{
    for (const std::pair<std::string, std::string>& given : bsdl)
    {
        if (SameNoCase(given.first, ref))
            return given.second;
    }
    return std::string();
}

bool ParseRef(const std::string& text, std::pair<std::string, size_t>& ref, std::string& strError)
{
    const size_t nEquals = text.find('=');
    const std::string name = Trimmed(text.substr(0, nEquals));
    const std::string number = nEquals == std::string::npos ? std::string() : Trimmed(text.substr(nEquals + 1));
    char* pEnd = nullptr;
    const unsigned long nDevice = number.empty() || !isdigit(static_cast<unsigned char>(number[0]))
                                      ? 0
                                      : strtoul(number.c_str(), &pEnd, 10);
    if (!IsName(name) || nDevice == 0 || nDevice > MAX_CHAIN_DEVICES || *pEnd != '\0')
    {
        strError = "\"" + text + "\" is no reference designator and device: write it as U3=1, the device counted "
                   "from 1 nearest TDI, up to " + std::to_string(MAX_CHAIN_DEVICES) + ".";
        return false;
    }
    ref = {name, nDevice};
    return true;
}

bool AddRef(BoardFile& board, const std::pair<std::string, size_t>& ref, std::string& strError)
{
    for (const std::pair<std::string, size_t>& known : board.refs)
    {
        if (SameNoCase(known.first, ref.first) || known.second == ref.second)
        {
            strError = SameNoCase(known.first, ref.first)
                           ? ref.first + " is named twice: give each reference designator one device."
                           : "device " + std::to_string(ref.second) + " is named twice, " + known.first + " and " +
                                 ref.first + ": give each device one reference designator.";
            return false;
        }
    }
    board.refs.push_back(ref);
    return true;
}

bool ParseBoardFile(const std::string& text, const std::string& strName, const std::string& strFolder, bool bRefsOnly,
                    BoardFile& board, std::string& strError)
{
    board = BoardFile();
    BoardFile read;
    std::string section;
    int nLine = 0;
    const auto fail = [&](const std::string& what) {
        strError = strName + ":" + std::to_string(nLine) + ": " + what;
        return false;
    };
    for (size_t nAt = 0; nAt < text.size();)
    {
        const size_t nEnd = text.find('\n', nAt);
        std::string line = text.substr(nAt, nEnd == std::string::npos ? std::string::npos : nEnd - nAt);
        nAt = nEnd == std::string::npos ? text.size() : nEnd + 1;
        ++nLine;
        // A comment runs from ';' or '#' to the line's end.
        line = Trimmed(line.substr(0, line.find_first_of(";#")));
        if (line.empty())
            continue;
        if (line[0] == '[')
        {
            if (line.back() != ']')
                return fail("a section was expected as [board], not \"" + line + "\".");
            const std::string name = Trimmed(line.substr(1, line.size() - 2));
            section = UpperCase(name);
            if (!bRefsOnly && section != "BOARD" && section != "BSDL" && section != "FAULTS")
                return fail("the sections are [board], [bsdl] and [faults], not [" + name + "].");
            continue;
        }
        if (bRefsOnly && section != "BOARD")
            continue;
        const size_t nEquals = line.find('=');
        if (nEquals == std::string::npos)
        {
            if (bRefsOnly)
                continue;
            return fail("a line as key=value was expected, not \"" + line + "\".");
        }
        const std::string key = Trimmed(line.substr(0, nEquals));
        const std::string value = Trimmed(line.substr(nEquals + 1));
        const std::string upper = UpperCase(key);
        std::string strWhy;
        if (section.empty())
            return fail("\"" + line + "\" stands before any section: start with [board].");
        if (section == "BOARD" && !bRefsOnly && upper == "CHAIN")
        {
            if (read.nChainLength != 0)
                return fail("chain= is given twice.");
            const std::vector<std::string> refs = SplitAtCommas(value);
            for (size_t i = 0; i < refs.size(); ++i)
            {
                if (!IsName(refs[i]))
                    return fail("chain= lists the reference designators from TDI, as chain=U3,U7, not \"" + value + "\".");
                if (i >= MAX_CHAIN_DEVICES || !AddRef(read, {refs[i], i + 1}, strWhy))
                    return fail(i >= MAX_CHAIN_DEVICES ? "chain= names more than " + std::to_string(MAX_CHAIN_DEVICES) +
                                                             " devices."
                                                       : strWhy);
            }
            read.nChainLength = refs.size();
        }
        else if (section == "BOARD" && !bRefsOnly && upper == "NETLIST")
        {
            if (!read.netlist.empty() || value.empty())
                return fail(value.empty() ? "netlist= names no file." : "netlist= is given twice.");
            read.netlist = Joined(strFolder, value);
        }
        else if (section == "BOARD")
        {
            std::pair<std::string, size_t> ref;
            if (!ParseRef(line, ref, strWhy) || !AddRef(read, ref, strWhy))
            {
                return fail(strWhy);
            }
        }
        else if (section == "BSDL")
        {
            if (!IsName(key) || value.empty())
                return fail("a chip's file as U3=chip.bsd was expected, not \"" + line + "\".");
            for (const std::pair<std::string, std::string>& known : read.bsdl)
            {
                if (SameNoCase(known.first, key))
                    return fail(key + "'s BSDL file is given twice.");
            }
            read.bsdl.emplace_back(key, Joined(strFolder, value));
        }
        else
        {
            static const std::pair<const char*, PlantedKind> KINDS[] = {
                {"OPEN", PlantedKind::Open},     {"SHORT", PlantedKind::Short},   {"STUCK0", PlantedKind::Stuck0},
                {"STUCK1", PlantedKind::Stuck1}, {"PULLUP", PlantedKind::Pullup}, {"PULLDOWN", PlantedKind::Pulldown}};
            PlantedFault fault = {PlantedKind::Open, SplitAtCommas(value), false, nLine};
            bool bKnown = false;
            for (const auto& kind : KINDS)
            {
                bKnown = bKnown || upper == kind.first;
                fault.kind = upper == kind.first ? kind.second : fault.kind;
            }
            if (!bKnown)
                return fail("the faults are open=, short=, stuck0=, stuck1=, pullup= and pulldown=, not " + key + "=.");
            if (fault.kind == PlantedKind::Short && fault.names.size() == 3 && SameNoCase(fault.names[2], "or"))
            {
                fault.bOr = true;
                fault.names.pop_back();
            }
            const size_t nWanted = fault.kind == PlantedKind::Short ? 2 : 1;
            bool bNames = fault.names.size() == nWanted;
            for (const std::string& name : fault.names)
                bNames = bNames && IsName(name);
            if (fault.kind == PlantedKind::Open && bNames)
            {
                const size_t nDot = fault.names[0].find('.');
                bNames = nDot != std::string::npos && nDot > 0 && nDot + 1 < fault.names[0].size();
            }
            if (!bNames)
                return fail(fault.kind == PlantedKind::Open    ? "open= names one pin as REF.PIN, as open=U7.12."
                            : fault.kind == PlantedKind::Short ? "short= names two nets, as short=SDA,SCL or short=SDA,SCL,or."
                                                               : key + "= names one net, as " + key + "=SPARE1.");
            read.faults.push_back(fault);
        }
    }
    board = std::move(read);
    return true;
}

bool ReadBoardDescription(const std::string& strPath, const std::vector<std::string>& refs,
                          const std::string& strSettingsPath, BoardFile& board, Netlist& netlist, std::string& strError)
{
    std::string text;
    if (!ReadTextFile(strPath, text, strError))
        return false;
    std::string strNetlistPath = strPath;
    if (LooksLikeBoardFile(text))
    {
        if (!ParseBoardFile(text, strPath, FolderOf(strPath), false, board, strError))
            return false;
        if (board.netlist.empty())
        {
            strError = strPath + " names no netlist: give it under [board] as netlist=board.net.";
            return false;
        }
        strNetlistPath = board.netlist;
        if (!ReadTextFile(strNetlistPath, text, strError))
            return false;
    }
    if (!ParseNetlist(text, netlist, strError))
    {
        strError = strNetlistPath + ":" + strError.substr(5);
        return false;
    }
    for (const std::string& given : refs)
    {
        std::pair<std::string, size_t> ref;
        if (!ParseRef(given, ref, strError) || !AddRef(board, ref, strError))
        {
            strError = "MORVA cannot take --ref " + given + ": " + strError;
            return false;
        }
    }
    if (board.refs.empty() && !strSettingsPath.empty() && ReadTextFile(strSettingsPath, text, strError))
    {
        BoardFile settings;
        if (!ParseBoardFile(text, strSettingsPath, std::string(), true, settings, strError))
            return false;
        board.refs = settings.refs;
    }
    strError.clear();
    return true;
}

std::string FolderOf(const std::string& strPath)
{
    const size_t nSlash = strPath.find_last_of("/\\");
    return nSlash == std::string::npos ? std::string() : strPath.substr(0, nSlash + 1);
}

bool LooksLikeBoardFile(const std::string& text)
{
    for (size_t nAt = 0; nAt < text.size();)
    {
        const size_t nEnd = text.find('\n', nAt);
        const std::string line = Trimmed(text.substr(nAt, nEnd == std::string::npos ? std::string::npos : nEnd - nAt));
        nAt = nEnd == std::string::npos ? text.size() : nEnd + 1;
        if (!line.empty() && line[0] != ';' && line[0] != '#')
            return line[0] == '[';
    }
    return false;
}
