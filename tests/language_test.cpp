// The messages the code builds in English, as the program shows them on a Japanese system.

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "app/CableOptions.h"
#include "cable/cable.h"
#include "recording_port.h"
#include "chain/ChainScan.h"
#include "engine/TapEngine.h"
#include "platform/catalog.h"
#include "platform/codepage.h"
#include "ports/cable_name.h"
#include "board/BoardTest.h"
#include "ports/port_factory.h"
#include "tap/ScanValue.h"

namespace {

std::string Utf8FromCodePage932(const std::string& text)
{
    const CWideText wide = WideFromCodePage932(text.c_str());
    std::vector<char> utf8(wide.size() * 3 + 1, '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, utf8.data(), static_cast<int>(utf8.size()), nullptr, nullptr);
    return utf8.data();
}

std::string CodePage932FromUtf8(const std::string& utf8)
{
    std::vector<WCHAR> wide(utf8.size() + 1, 0);
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, wide.data(), static_cast<int>(wide.size()));
    return CodePage932FromWide(wide.data());
}

// The catalog the program carries, read as the Japanese program reads it.
const CMessageCatalog& JapaneseCatalog()
{
    static CMessageCatalog s_catalog;
    static bool s_bRead = false;
    if (!s_bRead)
    {
        s_bRead = true;
        HRSRC hResource = ::FindResourceExA(nullptr, MAKEINTRESOURCEA(10), "MESSAGES",
                                            MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT));
        EXPECT_NE(nullptr, hResource) << "the program carries its Japanese messages";
        if (hResource == nullptr)
            return s_catalog;
        const char* pText = static_cast<const char*>(::LockResource(::LoadResource(nullptr, hResource)));
        std::string strError;
        EXPECT_TRUE(s_catalog.Read(std::string(pText, ::SizeofResource(nullptr, hResource)), strError,
                                   CodePage932FromUtf8))
            << strError;
    }
    return s_catalog;
}

// A line where three English words still stand in a row; the lines set in by four spaces with no
// column in them are commands and settings, shown as they are typed.
std::string EnglishLeft(const std::string& shown)
{
    static const std::regex words("[A-Za-z']{2,} [a-z']{2,} [a-z']{2,}");
    size_t nStart = 0;
    while (nStart <= shown.size())
    {
        size_t nEnd = shown.find('\n', nStart);
        if (nEnd == std::string::npos)
            nEnd = shown.size();
        const std::string line = shown.substr(nStart, nEnd - nStart);
        const bool bTyped = line.compare(0, 4, "    ") == 0 && line.find("  ", 4) == std::string::npos;
        if (!bTyped && std::regex_search(line, words))
            return line;
        nStart = nEnd + 1;
    }
    return std::string();
}

void ExpectJapanese(const std::string& english)
{
    ASSERT_FALSE(english.empty());
    const std::string shown = Utf8FromCodePage932(JapaneseCatalog().Translate(english));
    EXPECT_EQ("", EnglishLeft(shown)) << "English:\n" << english << "\nshown:\n" << shown;
}

// What a reader says of text it refuses, the refusal checked.
template <class VALUE, class TEXT, class GIVEN>
std::string Refusal(bool (*read)(TEXT, VALUE&, std::string&), const GIVEN& text)
{
    VALUE value;
    std::string strError;
    EXPECT_FALSE(read(text, value, strError)) << text;
    return strError;
}

std::string CableError(const std::string& strCable)
{
    return Refusal(ParseCableName, strCable);
}

std::string CableDescription(const char* pszCable)
{
    CableName cable;
    std::string strError;
    EXPECT_TRUE(ParseCableName(pszCable, cable, strError)) << strError;
    return DescribeCable(cable);
}

std::string ValueError(const std::string& text)
{
    return Refusal(ParseScanValue, text);
}

std::string CommandLineError(LPCSTR pszWords)
{
    return Refusal(ParseCommandLine, pszWords);
}

std::string OpenError(const char* pszCable)
{
    CableName cable;
    std::string strError;
    EXPECT_TRUE(ParseCableName(pszCable, cable, strError)) << strError;
    const std::shared_ptr<ICable> port = MakeCable(cable, FtdiPinMap());
    EXPECT_FALSE(port->Open()) << pszCable;
    return port->OpenProblem();
}

} // namespace

TEST(CatalogTest, PartsAreTranslatedInTheirPlacesAndTheEntryThatSaysMostWins)
{
    CMessageCatalog catalog;
    std::string strError;
    ASSERT_TRUE(catalog.Read("# a server\n"
                             "en: %1 could not be reached: %2.\nja: %1 unreachable (%2)\n"
                             "en: Check the host name.\nja: check host\n"
                             "en: port %1 of %2\nja: %2#%1\n"
                             "en: the connection was refused\nja: refused\n",
                             strError))
        << strError;
    EXPECT_EQ("h#7 unreachable (refused) check host",
              catalog.Translate("port 7 of h could not be reached: the connection was refused. Check the host name."));
    EXPECT_EQ("Left as it is.\n\nh#1 unreachable (refused)\nNor this.",
              catalog.Translate("Left as it is.\n\nport 1 of h could not be reached: the connection was refused.\nNor this."));
}

// A table padded to a column: the words after the spaces are translated, the spaces kept, and a
// whole entry with spaces of its own still wins.
TEST(CatalogTest, AColumnPaddedWithSpacesKeepsItsPlaceAndItsWordsAreTranslated)
{
    CMessageCatalog catalog;
    std::string strError;
    ASSERT_TRUE(catalog.Read("en: the simulated board\nja: board-ja\n"
                             "en:     %1  %2\nja:     %1  %2\n",
                             strError))
        << strError;
    EXPECT_EQ("    sim            board-ja", catalog.Translate("    sim            the simulated board"));
    EXPECT_EQ("  board-ja", catalog.Translate("  the simulated board"));
    EXPECT_EQ("   ", catalog.Translate("   "));
}

TEST(CatalogTest, ACatalogWithAnEntryThatCannotBeUsedIsRefusedAtItsLine)
{
    const struct
    {
        const char* pszText;
        const char* pszLine;
    } cases[] = {
        {"en: a %1\nja: b\n", "line 2:"},
        {"en: %1%2 run together\nja: x\n", "line 1:"},
        {"# no English first\nja: x\n", "line 2:"},
        {"en: a\n\nen: b\nja: c\n", "line 3:"},
        {"en: a\nja: b\nen: c\n", "line 3:"},
        {"en: a \\q\nja: b\n", "line 1:"},
    };
    for (const auto& c : cases)
    {
        CMessageCatalog catalog;
        std::string strError;
        EXPECT_FALSE(catalog.Read(c.pszText, strError)) << c.pszText;
        EXPECT_EQ(0u, strError.find(c.pszLine)) << c.pszText << " -> " << strError;
        EXPECT_EQ(0u, catalog.Size());
    }
}

TEST(JapaneseMessagesTest, EveryMessageTheCodeBuildsIsShownInJapanese)
{
    for (const char* pszCable : {"lpt:zz", "lpt:0x379", "ftdi:AB/Q", "ftdi:/B", "ftdi:SERIALTOOLONG12345",
                                 "ftdi:a b", "rbb:nohost", "xvc:", "bogus"})
        ExpectJapanese(CableError(pszCable));
    for (const char* pszCable : {"sim", "sim:chain", "ftdi", "ftdi:AB12/B", "rbb:host:1", "xvc:host:2", "lpt:0x378"})
        ExpectJapanese(CableDescription(pszCable));
    for (const std::string& value : {std::string(""), std::string("'h5"), std::string("4'x1"), std::string("4'b2"),
                                     std::string("4'hFF"), std::string("0xZ"), std::string("zz"),
                                     std::string(5000, '1')})
        ExpectJapanese(ValueError(value));
    for (const char* pszWords : {"--bogus", "--cable", "--trace --cable=sim", "--cable sim --cable sim", "--trace a --trace b",
                                 "--device 99 --ir 1", "--device 2", "--irlen 4", "--ir zz", "--irlen 4,x --scan",
                                 "--khz 0", "--khz 1 --khz 2", "--ref U1=1", "--board-test b.net --scan",
                                 "--board-test a --board-test b"})
        ExpectJapanese(CommandLineError(pszWords));
    ExpectJapanese(CommandLineHelp());
    CommandLine options;
    options.bCable = true;
    options.strCable = "bogus";
    CableName cable;
    FtdiPinMap map;
    std::string strError;
    EXPECT_FALSE(ResolveCable(options, "MORVA.INI", cable, map, strError));
    ExpectJapanese(strError);
    ExpectJapanese(OpenError("rbb:127.0.0.1:1"));
    ExpectJapanese(OpenError("ftdi:NOSUCHCABLE"));
    // What the FTDI cable in MPSSE and the scan say of the clock.
    for (const char* pszSaid : {"FTDI cable (first found) (libftdi, MPSSE at 6 MHz)", "FTDI MV232H JTAG (D2XX, bit-bang)",
                                "Scanned at TCK 6 MHz, through FTDI cable MV2232 (libftdi, MPSSE at 6 MHz).",
                                "FTDI cable MV2232: the chip took 10 of 10 bytes and gave 0 of 2 within 400 ms.",
                                "FTDI cable MV2232: the chip's serial engine (MPSSE) answered a bad command with 00 00, "
                                "not FA AA.\n\nUnplug the cable, plug it in again and start MORVA again; or set "
                                "mode=bitbang under [ftdi] in the settings.",
                                "khz=0 in the [cable] section is not a clock from 1 to 100000 kHz. Write it as in\n"
                                "    [cable]\n    khz=6000",
                                "mode=turbo in the [ftdi] section is neither mpsse (the chip's JTAG engine, where it has "
                                "one) nor bitbang. Write it as in\n    [ftdi]\n    mode=bitbang",
                                "The cable has no SRST line to pulse: name its pin with srst= under [ftdi] (an FTDI "
                                "cable in MPSSE mode, pins 4 to 15). Nothing was clocked.",
                                "trst must be a pin number from 4 to 15 (ADBUS4 to 7, ACBUS0 to 7).",
                                "trst and srst are on the same pin."})
        ExpectJapanese(pszSaid);
    // The board test's window: its summary, each result, what it found and why a net is not tested.
    BoardReport report;
    report.nTested = 8;
    report.nUntestable = 1;
    ExpectJapanese("board.ini: " + report.Summary() + ".");
    for (NetVerdict verdict : {NetVerdict::NotTested, NetVerdict::Good, NetVerdict::Open, NetVerdict::Short,
                               NetVerdict::Stuck0, NetVerdict::Stuck1})
        EXPECT_NE(NetVerdictName(verdict), JapaneseCatalog().Translate(NetVerdictName(verdict)));
    for (const char* pszSaid : {"The board test drives these nets under EXTEST, one pattern after another: SDA (U1.14).",
                                "The chain is not as the board says, so nothing was driven. The board says U2 is "
                                "device 1, a MORVA_IO (io.bsd), but device 1's IDCODE is 0x1BEEF04B, not "
                                "00010001000000000001000001001011.",
                                "DRIVER U1.11 -> RECEIVER U2.5", "shorted to SCL (wired-AND)", "stuck at 0",
                                "pulled up: reads 1 with nothing driving it", "one scan pin only: U1.9",
                                "input pins only: U1.10, U2.14", "a pin with no cell: U1.1 (TCK)",
                                "a part with no boundary scan on it that could drive the net: U3.7",
                                "a linkage or power pin: U1.20 (VCC)", "holds U2's compliance pin TEST at 0",
                                "its drivers switch on with pins of nets not tested: U1.11",
                                "No net of the board can be tested: none has a boundary-scan pin that drives it and "
                                "another that reads it."})
        ExpectJapanese(pszSaid);

    // The simulated chain, scanned without its IR lengths.
    ASSERT_TRUE(ParseCableName("sim:chain", cable, strError));
    const std::shared_ptr<ICable> port = MakeCable(cable, FtdiPinMap());
    CCableOn on(port.get());
    CTapEngine engine{&TestCable()};
    engine.SetPaced(false);
    ChainScan scan;
    EXPECT_EQ(Ended::Done, ScanChain(engine, {}, scan));
    ExpectJapanese(scan.strProblem);
    ExpectJapanese(WhyNotAlone(2, scan));
    EXPECT_EQ(Ended::Done, ScanChain(engine, {4, 6}, scan));
    ExpectJapanese(scan.strProblem);
}

// How a command ended, as the windows say it: each kind, with each place a window gives it.
TEST(JapaneseMessagesTest, EveryEndAWindowSaysIsShownInJapanese)
{
    const std::string strFailure =
        "The remote_bitbang server at localhost:44853 answered 0 of the 1 byte that R takes: the server closed the connection.";
    for (const char* pszWhere :
         {"", "while the chain was scanned", "at line 12", "as MORVA switched it on", "as SRST was pulsed"})
        ExpectJapanese(Outcome(Ended::Lost, strFailure).At(pszWhere).Message());
    ExpectJapanese(Outcome(Ended::Lost, strFailure).Message() +
                   "\n\nThe last clock did not reach the device, so its TAP state is now unknown. Check the cable "
                   "and its connection, then click TEST-LOGIC-RESET.");
    ExpectJapanese(Outcome(Ended::Stopped).At("at line 3; the TAP is in PAUSE-DR").Message());
    ExpectJapanese(
        Outcome(Ended::Stopped).At("at line 2: RUNTEST, 12288 of 4294967295 clocks; the TAP is in RUN-TEST/IDLE").Message());
    ExpectJapanese(Outcome(Ended::Differs, "Line 4: SDR 32: TDO differs from what the file expects").Message() +
                   "; the bits marked ^ differ.");
}
