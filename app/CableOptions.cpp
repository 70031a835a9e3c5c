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

// What an option does with its value (a flag's is empty); false with the whole message where the
// value cannot be taken. word is the option as written, for the message.
typedef bool (*TAKE_OPTION)(const std::string& word, const std::string& value, CommandLine& options, std::string& strError);

// One row an option: how it is written, what it takes, what it sets, and its lines of --help.
struct OptionRow
{
    const char* pszName;   // "cable": --cable; with a value also /cable:X, --cable=X and --cable X
    const char* pszAlso;   // other words for a flag, space-separated, or ""
    const char* pszValue;  // what its value is, for messages ("cable"); null for a flag
    const char* pszTwice;  // what is said where it is given twice; null where it may come again
    bool bNoWindow;        // given, the work is done without a window
    TAKE_OPTION pfnTake;
    const char* pszUsage;  // --help's first column: "--cable CABLE"
    const char* pszHelp;   // --help's description, its lines separated by \n
};

// A value kept as it was given.
template <std::string CommandLine::*TEXT>
bool TakeText(const std::string&, const std::string& value, CommandLine& options, std::string&)
{
    options.*TEXT = value;
    return true;
}

bool TakeShift(bool bIr, const std::string& word, const std::string& value, CommandLine& options,
               std::string& strError)
{
    ShiftRequest shift = {bIr, value, {}};
    std::string strWhy;
    // An instruction by name is looked up in the device's BSDL file once the chain is scanned.
    if (!ParseScanValue(value, shift.bits, strWhy) && !(shift.bIr && IsInstructionName(value)))
    {
        strError = "MORVA cannot send \"" + value + "\" given with " + word + ": " + strWhy;
        return false;
    }
    options.shifts.push_back(shift);
    return true;
}

const OptionRow OPTIONS[] = {
    {"cable", "", "cable", "The cable is given twice on the command line; give it once.", false,
     [](const std::string&, const std::string& value, CommandLine& options, std::string&) {
         options.bCable = true;
         options.strCable = value;
         return true;
     },
     "--cable CABLE", "the cable (also /cable:CABLE, --cable=CABLE)"},
    {"trace", "", "file", "The trace file is given twice on the command line; give it once.", false,
     TakeText<&CommandLine::strTrace>,
     "--trace FILE", "write every clock to FILE as it happens (also /trace:FILE, --trace=FILE)"},
    {"ir", "", "value", nullptr, true,
     [](const std::string& word, const std::string& value, CommandLine& options, std::string& strError) {
         return TakeShift(true, word, value, options, strError);
     },
     "--ir VALUE",
     "without a window: after a reset, SEND-IR the value and print what came out;\n"
     "with --device, an instruction of the device's BSDL file by name (--ir IDCODE)"},
    {"dr", "", "value", nullptr, true,
     [](const std::string& word, const std::string& value, CommandLine& options, std::string& strError) {
         return TakeShift(false, word, value, options, strError);
     },
     "--dr VALUE",
     "the same through the data register; any number of both, sent in order"},
    {"scan", "", nullptr, nullptr, true,
     [](const std::string&, const std::string&, CommandLine& options, std::string&) { return options.bScan = true; },
     "--scan", "without a window: list the devices on the chain, one a line, before any value"},
    {"irlen", "", "list of IR lengths", "The IR lengths are given twice on the command line; give them once.", false,
     [](const std::string& word, const std::string& value, CommandLine& options, std::string& strError) {
         std::string strWhy;
         if (ParseIrLengths(value, options.irLengths, strWhy))
             return true;
         strError = "MORVA cannot take " + word + ": " + strWhy;
         return false;
     },
     "--irlen 4,6,8", "the devices' IR lengths from the one nearest TDI, where the scan cannot tell them"},
    {"device", "", "device number", "The device is given twice on the command line; give it once.", true,
     [](const std::string& word, const std::string& value, CommandLine& options, std::string& strError) {
         unsigned long nDevice = 0;
         if (ParseNumber(value, MAX_CHAIN_DEVICES, nDevice) && nDevice > 0)
         {
             options.nDevice = nDevice;
             return true;
         }
         strError = "MORVA cannot take " + word + " " + value + ": give the device's number on the chain, 1 for "
                    "the one nearest TDI, up to " + std::to_string(MAX_CHAIN_DEVICES) + ".";
         return false;
     },
     "--device N", "--ir and --dr to device N alone (1: nearest TDI), the others in BYPASS"},
    {"bsdl", "", "BSDL file", "The BSDL file is given twice on the command line; give it once.", true,
     TakeText<&CommandLine::strBsdl>,
     "--bsdl FILE", "alone: check a BSDL file and describe it; with --device: that device's file"},
    {"bsdl-folder", "", "folder", nullptr, false,
     [](const std::string&, const std::string& value, CommandLine& options, std::string&) {
         options.bsdlFolders.push_back(value);
         return true;
     },
     "--bsdl-folder D", "look for the devices' BSDL files in folder D too (any number of them)"},
    {"sample", "", nullptr, nullptr, true,
     [](const std::string&, const std::string&, CommandLine& options, std::string&) { return options.bSample = true; },
     "--sample", "with --device: read the device's pins once (SAMPLE), one a line"},
    {"drive", "", "pin and level", nullptr, true,
     [](const std::string&, const std::string& value, CommandLine& options, std::string& strError) {
         std::string strPin, strWhy;
         PinDrive drive = PinDrive::Safe;
         if (!ParsePinDrive(value, strPin, drive, strWhy))
         {
             strError = "MORVA cannot take --drive " + value + ": " + strWhy;
             return false;
         }
         options.drives.push_back(value);
         return true;
     },
     "--drive PORT=1",
     "with --device and --extest: drive the pin PORT (1, 0, off or safe; any number of\n"
     "them) under EXTEST, every other pin at its safe value; then the pins read"},
    {"extest", "", nullptr, nullptr, true,
     [](const std::string&, const std::string&, CommandLine& options, std::string&) { return options.bExtest = true; },
     "--extest", "yes to driving pins: without it --drive drives nothing and ends with status 2"},
    {"leave-extest", "", nullptr, nullptr, true,
     [](const std::string&, const std::string&, CommandLine& options, std::string&) {
         return options.bLeaveExtest = true;
     },
     "--leave-extest", "at the end, reset the TAP: every device back to its own logic"},
    {"svf", "", "SVF file", "The SVF file is given twice on the command line; give it once.", true,
     TakeText<&CommandLine::strSvf>,
     "--svf FILE",
     "without a window: play an SVF file; status 0 when every TDO matched, 1 at\n"
     "the first that did not (its line and bits said), 2 for a file not played"},
    {"svf-out", "", "SVF file", "The SVF file to write is given twice on the command line; give it once.", false,
     TakeText<&CommandLine::strSvfOut>,
     "--svf-out FILE", "with --scan, --ir or --dr: write what they clocked as an SVF file"},
    {"khz", "", "clock in kHz", "The clock is given twice on the command line; give it once.", false,
     [](const std::string& word, const std::string& value, CommandLine& options, std::string& strError) {
         unsigned long nKhz = 0;
         if (ParseNumber(value, FtdiPinMap::MOST_KHZ, nKhz) && nKhz > 0)
         {
             options.nKhz = static_cast<unsigned>(nKhz);
             return true;
         }
         strError = "MORVA cannot take " + word + " " + value + ": give TCK in kHz, from 1 to " +
                    std::to_string(FtdiPinMap::MOST_KHZ) + " (--khz 6000 for 6 MHz).";
         return false;
     },
     "--khz N", "TCK at N kHz on a cable whose clock can be set (FTDI's MPSSE, XVC)"},
    {"srst", "", nullptr, nullptr, true,
     [](const std::string&, const std::string&, CommandLine& options, std::string&) { return options.bSrst = true; },
     "--srst", "first pulse the target's system reset, SRST (a cable with srst= under [ftdi])"},
    {"board-test", "", "netlist or board file", "The board is given twice on the command line; give it once.", true,
     TakeText<&CommandLine::strBoardTest>,
     "--board-test NET",
     "without a window, with --extest: test the board's nets through the chips on the\n"
     "chain; NET is its netlist (KiCad .net, or CSV of net,ref,pin) or a board file\n"
     "naming one; status 0 for no fault, 1 for faults, 2 for a test not run"},
    {"ref", "", "reference designator and device", nullptr, false,
     [](const std::string&, const std::string& value, CommandLine& options, std::string&) {
         options.refs.push_back(value);
         return true;
     },
     "--ref U3=1", "with --board-test: the board's chip U3 is device 1 (any number of them)"},
    {"help", "-h /?", nullptr, nullptr, false,
     [](const std::string&, const std::string&, CommandLine& options, std::string&) { return options.bHelp = true; },
     "--help", "this text"},
    {"version", "", nullptr, nullptr, false,
     [](const std::string&, const std::string&, CommandLine& options, std::string&) { return options.bVersion = true; },
     "--version", "the version"},
};

// The option the word is, with a value in it or after it; null for none.
const OptionRow* FindOption(const std::string& word)
{
    for (const OptionRow& option : OPTIONS)
    {
        const std::string name = option.pszName;
        if (EqualsNoCase(word, ("--" + name).c_str()))
            return &option;
        for (const char* pAlso = option.pszAlso; *pAlso != '\0';)
        {
            const char* pEnd = strchr(pAlso, ' ');
            const std::string also(pAlso, pEnd != nullptr ? pEnd : pAlso + strlen(pAlso));
            if (EqualsNoCase(word, also.c_str()))
                return &option;
            pAlso += also.size() + (pEnd != nullptr ? 1 : 0);
        }
        if (option.pszValue != nullptr &&
            (StartsWithNoCase(word, ("/" + name + ":").c_str()) || StartsWithNoCase(word, ("--" + name + "=").c_str())))
            return &option;
    }
    return nullptr;
}

// The rules between options, after every word was taken: false with the message where they
// contradict each other or one lacks another it needs.
bool CheckTogether(const CommandLine& options, std::string& strError)
{
    if (!options.refs.empty() && options.strBoardTest.empty())
    {
        strError = "--ref names the board's chips for --board-test: give the board with --board-test FILE.";
        return false;
    }
    if (!options.strBoardTest.empty() &&
        (!options.strSvf.empty() || options.nDevice > 0 || !options.shifts.empty() || options.bSample ||
         !options.drives.empty() || !options.strSvfOut.empty() || options.bScan))
    {
        strError = "--board-test tests the board on its own: leave out --scan, --svf, --svf-out, --device, --ir, "
                   "--dr, --sample and --drive, or give them apart.";
        return false;
    }
    if ((!options.drives.empty() || options.bExtest) && options.nDevice == 0 && options.strBoardTest.empty())
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
        CBits bits;
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

// Where --help's descriptions start: past the widest usage ("  --bsdl-folder D") and a space.
const size_t HELP_COLUMN = 19;

// The options as the unknown-word message lists them: "--cable CABLE, --trace FILE, ... and --svf-out FILE".
std::string OptionList()
{
    std::string list;
    const size_t nListed = sizeof(OPTIONS) / sizeof(OPTIONS[0]) - 2;  // --help and --version aside
    for (size_t i = 0; i < nListed; ++i)
        list += std::string(i == 0 ? "" : i + 1 == nListed ? " and " : ", ") + OPTIONS[i].pszUsage;
    return list;
}
} // namespace

bool ParseCommandLine(LPCSTR pszCommandLine, CommandLine& options, std::string& strError)
{
    options = CommandLine();
    const std::vector<std::string> words = SplitCommandLine(pszCommandLine);
    for (const std::string& word : words)
    {
        const OptionRow* pOption = FindOption(word);
        options.bNoWindow = options.bNoWindow || (pOption != nullptr && pOption->bNoWindow);
    }
    bool given[sizeof(OPTIONS) / sizeof(OPTIONS[0])] = {};
    for (size_t i = 0; i < words.size(); ++i)
    {
        const std::string& word = words[i];
        const OptionRow* pOption = FindOption(word);
        if (pOption == nullptr)
        {
            strError = "MORVA does not know the command-line word \"" + word + "\". It takes " + OptionList() +
                       " (a value also after a colon or an equals sign: /cable:CABLE, --cable=CABLE); --help lists "
                       "them.";
            return false;
        }
        std::string value;
        if (pOption->pszValue != nullptr)
        {
            const std::string what = pOption->pszValue;
            if (word[0] == '/')
                value = word.substr(word.find(':') + 1);
            else if (word.find('=') != std::string::npos)
                value = word.substr(word.find('=') + 1);
            else if (i + 1 < words.size())
                value = words[++i];
            // "--trace --cable=sim" has no file name: the next word is an option of its own.
            if (FindOption(value) != nullptr && FindOption(value)->pszValue != nullptr)
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
        }
        bool& bGiven = given[pOption - OPTIONS];
        if (bGiven && pOption->pszTwice != nullptr)
        {
            strError = pOption->pszTwice;
            return false;
        }
        bGiven = true;
        if (!pOption->pfnTake(word, value, options, strError))
            return false;
    }
    return CheckTogether(options, strError);
}

std::string OptionsHelp()
{
    // Each option's usage, then its description one column past the widest usage and a space.
    std::string text;
    for (const OptionRow& option : OPTIONS)
    {
        std::string line = std::string("  ") + option.pszUsage;
        for (const char* p = option.pszHelp;; ++p)
        {
            if (*p == '\0' || *p == '\n')
            {
                text += line + "\n";
                if (*p == '\0')
                    break;
                line = std::string(HELP_COLUMN, ' ');
                continue;
            }
            if (line.size() < HELP_COLUMN)
                line.resize(HELP_COLUMN, ' ');
            line += *p;
        }
    }
    return text;
}
