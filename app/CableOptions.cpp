#include "CableOptions.h"

#include <algorithm>
#include <cstdlib>
#include <cctype>
#include <cstring>
#include <vector>

#include "../bsdl/BoundaryPins.h"
#include "../chain/ChainScan.h"
#include "../tap/ScanValue.h"

namespace {

// The command line split as Windows programs split it: spaces apart, double quotes around.
std::vector<std::string> SplitCommandLine(LPCSTR pszCommandLine)
{
    std::vector<std::string> words;
    std::string word;
    bool bInWord = false;
    bool bQuoted = false;
    for (LPCSTR p = pszCommandLine != nullptr ? pszCommandLine : ""; *p != '\0'; ++p)
    {
        if (*p == '"')
        {
            bQuoted = !bQuoted;
            bInWord = true;
        }
        else if ((*p == ' ' || *p == '\t') && !bQuoted)
        {
            if (bInWord)
                words.push_back(word);
            word.clear();
            bInWord = false;
        }
        else
        {
            word += *p;
            bInWord = true;
        }
    }
    if (bInWord)
        words.push_back(word);
    return words;
}

// The options are ASCII words: compared letter by letter, whatever the locale.
bool StartsWithNoCase(const std::string& text, const char* pszPrefix)
{
    const size_t nLength = strlen(pszPrefix);
    if (text.size() < nLength)
        return false;
    for (size_t i = 0; i < nLength; ++i)
    {
        if (tolower(static_cast<unsigned char>(text[i])) != tolower(static_cast<unsigned char>(pszPrefix[i])))
            return false;
    }
    return true;
}

bool EqualsNoCase(const std::string& text, const char* pszWord)
{
    return text.size() == strlen(pszWord) && StartsWithNoCase(text, pszWord);
}

// The longest value MORVA reads; the profile call cuts a longer one without a word.
// "IDCODE", "SAMPLE": a name as BSDL gives instructions.
bool IsInstructionName(const std::string& text)
{
    if (text.empty() || isalpha(static_cast<unsigned char>(text[0])) == 0)
        return false;
    for (char c : text)
    {
        if (isalnum(static_cast<unsigned char>(c)) == 0 && c != '_')
            return false;
    }
    return true;
}

// The options that take a value: their names and what the value is.
struct ValueOption
{
    const char* pszName;  // "cable": /cable:X, --cable=X, --cable X
    const char* pszWhat;
    bool bSendsValue;  // a value sent without a window; may come again
};

const ValueOption VALUE_OPTIONS[] = {
    {"cable", "cable", false},
    {"trace", "file", false},
    {"ir", "value", true},
    {"dr", "value", true},
    {"irlen", "list of IR lengths", false},
    {"device", "device number", false},
    {"bsdl", "BSDL file", false},
    {"bsdl-folder", "folder", false},
    {"svf", "SVF file", false},
    {"svf-out", "SVF file", false},
    {"drive", "pin and level", false},
};

bool CheckPinDrive(const std::string& value, std::string& strWhy)
{
    std::string strPin;
    PinDrive drive = PinDrive::Safe;
    return ParsePinDrive(value, strPin, drive, strWhy);
}

// The option the word is, with its value in it or after it; null for none.
const ValueOption* FindValueOption(const std::string& word)
{
    for (const ValueOption& option : VALUE_OPTIONS)
    {
        const std::string name = option.pszName;
        if (StartsWithNoCase(word, ("/" + name + ":").c_str()) || StartsWithNoCase(word, ("--" + name + "=").c_str()) ||
            EqualsNoCase(word, ("--" + name).c_str()))
            return &option;
    }
    return nullptr;
}

} // namespace

bool ParseCommandLine(LPCSTR pszCommandLine, CommandLine& options, std::string& strError)
{
    options = CommandLine();
    bool bTrace = false;
    const std::vector<std::string> words = SplitCommandLine(pszCommandLine);
    for (const std::string& word : words)
    {
        const ValueOption* pOption = FindValueOption(word);
        const std::string name = pOption != nullptr ? pOption->pszName : "";
        options.bNoWindow = options.bNoWindow || (pOption != nullptr && pOption->bSendsValue) ||
                            EqualsNoCase(word, "--scan") || EqualsNoCase(word, "--sample") || name == "device" ||
                            name == "bsdl" || name == "svf" || name == "drive" || EqualsNoCase(word, "--extest") ||
                            EqualsNoCase(word, "--leave-extest");
    }
    for (size_t i = 0; i < words.size(); ++i)
    {
        const std::string& word = words[i];
        if (EqualsNoCase(word, "--help") || EqualsNoCase(word, "-h") || EqualsNoCase(word, "/?"))
        {
            options.bHelp = true;
            continue;
        }
        if (EqualsNoCase(word, "--version"))
        {
            options.bVersion = true;
            continue;
        }
        if (EqualsNoCase(word, "--scan"))
        {
            options.bScan = true;
            continue;
        }
        if (EqualsNoCase(word, "--sample"))
        {
            options.bSample = true;
            continue;
        }
        if (EqualsNoCase(word, "--extest"))
        {
            options.bExtest = true;
            continue;
        }
        if (EqualsNoCase(word, "--leave-extest"))
        {
            options.bLeaveExtest = true;
            continue;
        }
        const ValueOption* pOption = FindValueOption(word);
        if (pOption == nullptr)
        {
            strError = "MORVA does not know the command-line word \"" + word +
                       "\". It takes /cable:CABLE (or --cable=CABLE, --cable CABLE), /trace:FILE (or --trace=FILE, "
                       "--trace FILE), --scan, --irlen LENGTHS, --device N, --ir VALUE, --dr VALUE, --bsdl FILE, --bsdl-folder "
                       "FOLDER, --sample, --drive PORT=LEVEL, --extest, --leave-extest, --svf FILE and --svf-out FILE; --help "
                       "lists them.";
            return false;
        }
        const std::string what = pOption->pszWhat;
        std::string value;
        if (word[0] == '/')
            value = word.substr(word.find(':') + 1);
        else if (word.find('=') != std::string::npos)
            value = word.substr(word.find('=') + 1);
        else if (i + 1 < words.size())
            value = words[++i];
        // "--trace --cable=sim" has no file name: the next word is an option of its own.
        if (FindValueOption(value) != nullptr)
        {
            strError = "The option \"" + word + "\" names no " + what + ": \"" + value +
                       "\" is an option of its own. Give the " + what + " right after it.";
            return false;
        }
        if (value.empty())
        {
            strError = "The option \"" + word + "\" names no " + what + ".";
            return false;
        }
        const std::string name = pOption->pszName;
        if ((name == "cable" && options.bCable) || (name == "trace" && bTrace) ||
            (name == "irlen" && !options.irLengths.empty()) || (name == "device" && options.nDevice > 0) ||
            (name == "bsdl" && !options.strBsdl.empty()) || (name == "svf" && !options.strSvf.empty()) ||
            (name == "svf-out" && !options.strSvfOut.empty()))
        {
            strError = name == "irlen" ? std::string("The IR lengths are given twice on the command line; give them once.")
                                       : std::string("The ") +
                                             (name == "cable"   ? "cable"
                                              : name == "trace" ? "trace file"
                                              : name == "bsdl"  ? "BSDL file"
                                              : name == "svf"   ? "SVF file"
                                              : name == "svf-out" ? "SVF file to write"
                                                                : "device") +
                                             " is given twice on the command line; give it once.";
            return false;
        }
        if (name == "bsdl")
        {
            options.strBsdl = value;
            continue;
        }
        if (name == "bsdl-folder")
        {
            options.bsdlFolders.push_back(value);
            continue;
        }
        if (name == "drive")
        {
            std::string strWhy;
            if (!CheckPinDrive(value, strWhy))
            {
                strError = "MORVA cannot take --drive " + value + ": " + strWhy;
                return false;
            }
            options.drives.push_back(value);
            continue;
        }
        if (name == "svf-out")
        {
            options.strSvfOut = value;
            continue;
        }
        if (name == "svf")
        {
            options.strSvf = value;
            continue;
        }
        if (name == "cable")
        {
            options.bCable = true;
            options.strCable = value;
        }
        else if (name == "trace")
        {
            bTrace = true;
            options.strTrace = value;
        }
        else if (name == "device")
        {
            unsigned long nDevice = 0;
            if (!ParseNumber(value, MAX_CHAIN_DEVICES, nDevice) || nDevice == 0)
            {
                strError = "MORVA cannot take " + word + " " + value + ": give the device's number on the chain, 1 for "
                           "the one nearest TDI, up to " + std::to_string(MAX_CHAIN_DEVICES) + ".";
                return false;
            }
            options.nDevice = nDevice;
        }
        else if (name == "irlen")
        {
            std::string strWhy;
            if (!ParseIrLengths(value, options.irLengths, strWhy))
            {
                strError = "MORVA cannot take " + word + ": " + strWhy;
                return false;
            }
        }
        else
        {
            ShiftRequest shift = {name == "ir", value, {}};
            std::string strWhy;
            // An instruction by name is looked up in the device's BSDL file once the chain is scanned.
            if (!ParseScanValue(value, shift.bits, strWhy) && !(shift.bIr && IsInstructionName(value)))
            {
                strError = "MORVA cannot send \"" + value + "\" given with " + word + ": " + strWhy;
                return false;
            }
            options.shifts.push_back(shift);
        }
    }
    if ((!options.drives.empty() || options.bExtest) && options.nDevice == 0)
    {
        strError = "--drive and --extest drive one device's pins: name it with --device N.";
        return false;
    }
    if (options.bSample && options.bExtest)
    {
        strError = "--sample reads the pins as the chip's own logic drives them, --extest as MORVA drives them: give "
                   "one of them.";
        return false;
    }
    if (options.nDevice > 0 && options.shifts.empty() && !options.bSample && options.drives.empty() && !options.bExtest)
    {
        strError = "--device names the device that --ir and --dr values go to, or whose pins --sample reads: give the "
                   "values to send, or --sample, as well.";
        return false;
    }
    if (!options.strSvf.empty() && (options.bScan || options.nDevice > 0 || !options.shifts.empty() || options.bSample ||
                                     options.bLeaveExtest))
    {
        strError = "--svf plays a file on its own: leave out --scan, --device, --ir, --dr, --sample and --leave-extest, "
                   "or play them apart.";
        return false;
    }
    if (!options.strSvfOut.empty() && (!options.strSvf.empty() || (options.shifts.empty() && !options.bScan)))
    {
        strError = "--svf-out writes the command line's own --scan, --ir and --dr as an SVF file: give them with it"
                   " (a file played with --svf is SVF already).";
        return false;
    }
    if (options.bSample && options.nDevice == 0)
    {
        strError = "--sample reads one device's pins: name it with --device N.";
        return false;
    }
    for (const ShiftRequest& shift : options.shifts)
    {
        // A name goes only to a device whose file may know it: otherwise it is a value that is wrong.
        std::vector<unsigned char> bits;
        std::string strWhy;
        if (shift.bits.empty() && options.nDevice == 0 && !ParseScanValue(shift.strValue, bits, strWhy))
        {
            strError = "MORVA cannot send \"" + shift.strValue + "\" given with --ir: " + strWhy;
            return false;
        }
    }
    if (!options.irLengths.empty() && !options.bScan && options.nDevice == 0)
    {
        strError = "--irlen gives the IR lengths to --scan and --device: give one of them as well.";
        return false;
    }
    return true;
}
