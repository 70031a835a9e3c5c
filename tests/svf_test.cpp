// SVF files read command by command, and played through the engine on the simulated chain.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "recording_port.h"
#include "cable/cable.h"
#include "engine/TapEngine.h"
#include "platform/system.h"
#include "ports/sim_port.h"
#include "svf/SvfPlayer.h"
#include "svf/SvfWriter.h"
#include "tap/TapStates.h"
#include "test_bits.h"

namespace {

std::vector<SvfCommand> ReadAll(const std::string& text, std::string& strError)
{
    CSvfReader reader;
    reader.OpenText(text);
    std::vector<SvfCommand> commands;
    SvfCommand command;
    while (reader.Next(command, strError))
        commands.push_back(command);
    return commands;
}

TEST(SvfReadTest, EveryCommandIsReadWithItsLine)
{
    std::string strError;
    const std::vector<SvfCommand> commands = ReadAll("! a header\n"
                                                     "TRST ABSENT;\n"
                                                     "endir IRPAUSE; ENDDR idle;\n"
                                                     "FREQUENCY 1.5E6 HZ;\n"
                                                     "STATE RESET IDLE;\n"
                                                     "HIR 3 TDI (7); TDR 1 TDI (0);\n"
                                                     "SIR 6 TDI (02) SMASK (3F) // the instruction\n"
                                                     "  TDO (01) MASK (03);\n"
                                                     "SDR 40 TDI (00\n 0000 0000)\n TDO (12 3456 7890);\n"
                                                     "RUNTEST DRPAUSE 100 TCK 1E-3 SEC MAXIMUM 1 SEC ENDSTATE IDLE;\n"
                                                     "RUNTEST 2E-2 SEC;\n",
                                                     strError);
    ASSERT_EQ("", strError);
    ASSERT_EQ(11u, commands.size());
    EXPECT_EQ(SvfCommandKind::Trst, commands[0].kind);
    EXPECT_EQ("ABSENT", commands[0].strWord);
    EXPECT_EQ(2, commands[0].nLine);
    EXPECT_EQ((std::vector<int>{STATE_PAUSE_IR}), commands[1].states);
    EXPECT_EQ((std::vector<int>{STATE_RUN_TEST_IDLE}), commands[2].states);
    EXPECT_EQ(1.5e6, commands[3].dMinTime);
    EXPECT_EQ((std::vector<int>{STATE_TEST_LOGIC_RESET, STATE_RUN_TEST_IDLE}), commands[4].states);
    EXPECT_EQ(BitsOf({1, 1, 1}), commands[5].scan.tdi);
    EXPECT_EQ(SvfCommandKind::Tdr, commands[6].kind);
    const SvfCommand& sir = commands[7];
    EXPECT_EQ(7, sir.nLine);
    EXPECT_EQ(BitsOf({0, 1, 0, 0, 0, 0}), sir.scan.tdi);
    EXPECT_EQ(BitsOf({1, 0, 0, 0, 0, 0}), sir.scan.tdo);
    EXPECT_EQ(BitsOf({1, 1, 0, 0, 0, 0}), sir.scan.mask);
    EXPECT_EQ(6u, sir.scan.smask.size());
    EXPECT_EQ("1234567890", SvfHex(commands[8].scan.tdo)) << "a value across lines, with spaces";
    EXPECT_EQ(9, commands[8].nLine);
    const SvfCommand& run = commands[9];
    EXPECT_EQ((std::vector<int>{STATE_PAUSE_DR, STATE_RUN_TEST_IDLE}), run.states);
    EXPECT_EQ(100u, run.nCount);
    EXPECT_EQ(1e-3, run.dMinTime);
    EXPECT_EQ(0u, commands[10].nCount);
    EXPECT_EQ(2e-2, commands[10].dMinTime);
}

// A value of millions of digits, with spaces and a comment among them, read across the reader's
// pieces; a length past what one byte a bit could hold; and the bits a value may have past its
// length, at a digit's edge and inside it.
TEST(SvfReadTest, LongValuesAreReadWholeAndOnlyTheirOwnBitsMayBeSet)
{
    std::minstd_rand random(3);
    const size_t nDigits = (size_t(1) << 21) + 1001;  // more than one piece, an odd count
    std::string hex;
    hex.reserve(nDigits + 64);
    std::vector<unsigned char> model(nDigits * 4);
    for (size_t i = 0; i < nDigits; ++i)
    {
        const unsigned nDigit = static_cast<unsigned>(random() % 16);
        hex += "0123456789abcdef"[nDigit];
        if (i == 12345)
            hex += " ! a comment (in) the value\n  ";
        for (unsigned b = 0; b < 4; ++b)
            model[(nDigits - 1 - i) * 4 + b] = static_cast<unsigned char>((nDigit >> b) & 1);
    }
    std::string strError;
    std::vector<SvfCommand> commands = ReadAll("SDR " + std::to_string(nDigits * 4) + " TDI (" + hex + ");\n", strError);
    ASSERT_EQ(1u, commands.size()) << strError;
    EXPECT_TRUE(commands[0].scan.tdi == Packed(model));

    // 40 million bits: refused before bits were packed.
    commands = ReadAll("SDR 40000000 TDI (1) TDO (0);", strError);
    ASSERT_EQ(1u, commands.size()) << strError;
    EXPECT_EQ(40000000u, commands[0].scan.tdi.size());
    EXPECT_TRUE(commands[0].scan.tdi[0]);
    EXPECT_FALSE(commands[0].scan.tdi.AnySet(1));

    EXPECT_EQ(1u, ReadAll("SDR 5 TDI (1F);", strError).size()) << strError;
    EXPECT_EQ(1u, ReadAll("SDR 6 TDI (0003F);", strError).size()) << strError;
    for (const char* pszText : {"SDR 5 TDI (20);", "SDR 6 TDI (7F);", "SDR 6 TDI (100);"})
    {
        EXPECT_TRUE(ReadAll(pszText, strError).empty()) << pszText;
        EXPECT_EQ("1: TDI: the value has bits set beyond its " + std::string(1, pszText[4]) + " bits.", strError);
    }
    EXPECT_TRUE(ReadAll("SDR 8 TDI (1G2);", strError).empty());
    EXPECT_EQ("1: TDI: a hex digit was expected, not \"G\".", strError);
    EXPECT_TRUE(ReadAll("SDR 8 TDI (12;\nSDR 8 TDI (0);", strError).empty());
    EXPECT_EQ("1: \")\" was expected after the value.", strError);
}

TEST(SvfReadTest, ACommandThatCannotBeReadIsRefusedAtItsLine)
{
    const std::pair<const char*, const char*> cases[] = {
        {"SIR 4 TDI (2);\nSDX 8;\n", "2: an SVF command (SIR, SDR,"},
        {"SIR 4 TDI (2);\nSDR 8 TDI (1G);\n", "2: TDI: a hex digit was expected, not \"G\"."},
        {"\nSDR 4 TDI (1F);\n", "2: TDI: the value has bits set beyond its 4 bits."},
        {"SDR 8 TDI (00) TDO;\n", "1: a value in parentheses was expected after TDO."},
        {"SDR 8 TDI (00)", "1: \";\" was expected before the end of the file"},
        {"STATE IDLE DRSHIFT;\n", "1: STATE ends in a stable state"},
        {"RUNTEST IDLE ENDSTATE IDLE;\n", "1: RUNTEST's clocks (as 1000 TCK) or time (as 1E-3 SEC) was expected."},
        {"\n\nPIOMAP (IN A);\n", "3: PIOMAP is not played: MORVA drives no parallel vectors, only the TAP."},
        {"ENDDR DRSHIFT;\n", "1: ENDDR takes one stable state"},
        // Lengths and clock counts are decimal integers; times are finite and bounded.
        {"SDR 0x20 TDI (0);\n", "1: a length in bits (decimal digits, as 32) was expected after SDR."},
        {"SDR 3.2E1 TDI (0);\n", "1: a length in bits (decimal digits, as 32) was expected after SDR."},
        {"SDR 1E20;\n", "1: a length in bits (decimal digits, as 32) was expected after SDR."},
        {"RUNTEST 2.9 TCK;\n", "1: RUNTEST's clocks are counted in decimal digits, as 1000 TCK, not \"2.9\"."},
        {"RUNTEST INF TCK;\n", "1: RUNTEST's clocks are counted in decimal digits, as 1000 TCK, not \"INF\"."},
        {"RUNTEST 1E20 TCK;\n", "1: RUNTEST's clocks are counted in decimal digits, as 1000 TCK, not \"1E20\"."},
        {"RUNTEST 99999999999999999999999 TCK;\n", "1: RUNTEST's 99999999999999999999999 TCK are more clocks"},
        {"RUNTEST 1E300 SEC;\n", "1: RUNTEST's 1E300 SEC is longer than MORVA waits: at most 1000000 SEC."},
        {"RUNTEST 1E10 SEC;\n", "1: RUNTEST's 1E10 SEC is longer than MORVA waits"},
        {"RUNTEST INF SEC;\n", "1: a time in seconds, as 1E-3, was expected, not \"INF\"."},
        {"RUNTEST 1 SEC MAXIMUM 0.5 SEC;\n", "1: MAXIMUM 0.5 SEC is less than the least time, 1 SEC."},
        {"SDR 8 TDI (0) TDO (1) TDI (1);\n", "1: TDI is given twice."},
        {"FREQUENCY 0 HZ;\n", "1: FREQUENCY's hertz, as FREQUENCY 1E6 HZ, was expected."},
        // Lengths beyond what can be held, however little the file writes for them.
        {"SDR 1099511627776;\n", "1: SDR 1099511627776 is longer than MORVA can hold"},
        {"SDR 4294967295 TDI (0);\n", "1: SDR 4294967295 is longer than MORVA can hold"},
        {"HIR 4294967295;\n", "1: HIR 4294967295 is longer than MORVA can hold"},
    };
    for (const auto& c : cases)
    {
        std::string strError;
        ReadAll(c.first, strError);
        EXPECT_EQ(0u, strError.find(c.second)) << c.first << " said " << strError;
    }
    // A NUL byte is no end of a number.
    std::string strError;
    const std::vector<SvfCommand> nul = ReadAll(std::string("SDR 8\0garbage TDI (0);\n", 23), strError);
    EXPECT_TRUE(nul.empty());
    EXPECT_EQ(0u, strError.find("1: a length in bits")) << strError;
}

// The simulated chain: device 1 (IR 4, IDCODE 0x1ABCD093) nearest TDI, device 2 (IR 6, 0x35678043),
// device 3 (IR 8, no IDCODE) nearest TDO.
class SvfPlayTest : public ::testing::Test
{
protected:
    void SetUp() override { m_tap.SetPaced(false); }
    Outcome Play(const std::string& text, std::string& strError)
    {
        CSvfReader reader;
        reader.OpenText(text);
        SvfCommand command;
        while (reader.Next(command, strError))
        {
            const Outcome end = m_player.Play(command, m_mismatch, strError);
            if (end != Ended::Done)
                return end;
        }
        EXPECT_EQ("", strError);
        return Ended::Done;
    }

    CCableOn m_cable{&SimulatedChainPort()};
    CTapEngine m_tap{&TestCable()};
    std::vector<std::string> m_notes;
    CSvfPlayer m_player{m_tap, [this](const std::string& strNote) { m_notes.push_back(strNote); }};
    SvfMismatch m_mismatch;
};

// Device 2 alone: device 3's IR in the header (it is nearest TDO), device 1's in the trailer, then
// one BYPASS bit each around its IDCODE; its TDO checked, the others' bits not.
const char DEVICE_2_IDCODE[] = "STATE RESET;\n"
                               "HIR 8 TDI (FF); TIR 4 TDI (F);\n"
                               "HDR 1 TDI (0); TDR 1 TDI (0);\n"
                               "SIR 6 TDI (02) TDO (01) MASK (3F);\n"
                               "SDR 32 TDI (00000000) TDO (35678043);\n";

TEST_F(SvfPlayTest, HeadersAndTrailersSpeakToOneDeviceOfTheChain)
{
    std::string strError;
    ASSERT_EQ(Ended::Done, Play(DEVICE_2_IDCODE, strError)) << strError;
    EXPECT_EQ(0x2u, SimulatedChainBoard().Instruction(1));
    EXPECT_EQ(0xFFu, SimulatedChainBoard().Instruction(2));
    EXPECT_EQ(0xFu, SimulatedChainBoard().Instruction(0));
    EXPECT_EQ(STATE_RUN_TEST_IDLE, m_tap.State());
    EXPECT_TRUE(m_notes.empty());
}

TEST_F(SvfPlayTest, ATdoThatDiffersStopsAtItsLineWithTheBits)
{
    std::string strError;
    ASSERT_EQ(Ended::Done, Play(DEVICE_2_IDCODE, strError)) << strError;
    // The TDI carried over from the SDR before; the TDO expected is another chip's.
    ASSERT_EQ(Ended::Differs, Play("\nSDR 32 TDO (35678042);\n", strError));
    EXPECT_EQ(2, m_mismatch.nLine);
    EXPECT_EQ("SDR 32", m_mismatch.strCommand);
    // 34 bits: device 3's BYPASS bit first, then device 2's 32, then device 1's BYPASS bit.
    EXPECT_EQ("06ACF0084", SvfHex(m_mismatch.expected));
    EXPECT_EQ("06ACF0086", SvfHex(m_mismatch.read));
    EXPECT_EQ("1FFFFFFFE", SvfHex(m_mismatch.mask)) << "only the device's own bits compared";
}

// Every way a command ends says where in the file, the one way its kind is said, and the command
// line's status for it.
TEST_F(SvfPlayTest, EachEndSaysItsLineItsKindsWordsAndItsStatus)
{
    std::string strError;
    ASSERT_EQ(Ended::Done, Play(DEVICE_2_IDCODE, strError)) << strError;
    const Outcome differs = Play("\nSDR 32 TDO (35678042);\n", strError);
    EXPECT_EQ("Line 2: SDR 32: TDO differs from what the file expects", differs.Message());
    EXPECT_EQ(EXIT_TDO_DIFFERS, differs.ExitStatus());

    const Outcome refused = Play("\n\nSTATE IDLE DRPAUSE;\n", strError);
    EXPECT_EQ(Ended::Refused, refused);
    EXPECT_EQ(0u, refused.Message().find("Line 3: STATE's path goes from IDLE to DRPAUSE")) << refused;
    EXPECT_EQ(refused.Message(), strError);
    EXPECT_EQ(EXIT_NOT_DONE, refused.ExitStatus());

    // Stopped in the middle of a RUNTEST: where, and the TAP's state.
    m_player.SetStop([]() { return true; });
    const Outcome stopped = Play("RUNTEST 100000 TCK;\n", strError);
    EXPECT_EQ("Stopped at line 1: RUNTEST, 0 of 100000 clocks; the TAP is in RUN-TEST/IDLE.", stopped.Message());
    EXPECT_EQ(EXIT_NOT_DONE, stopped.ExitStatus());
}

// A scan longer than the read bits kept whole, through the three BYPASS bits: its TDO compared as it
// comes, and a bit that differs far into it shown with the bits around it.
TEST_F(SvfPlayTest, ALongScanIsComparedAsItComesAndItsFirstDifferenceShown)
{
    const size_t nBits = SVF_KEPT_READ_BITS + 5000;
    std::minstd_rand random(5);
    CBits tdi(nBits, false), tdo(3, false);
    for (size_t i = 0; i < nBits; ++i)
        tdi.Set(i, (random() & 1) != 0);
    tdo.Append(tdi, 0, nBits - 3);
    const std::string strHead = "SIR 18 TDI (3FFFF);\nSDR " + std::to_string(nBits) + " TDI (" + SvfHex(tdi) + ")";
    std::string strError;
    ASSERT_EQ(Ended::Done, Play(strHead + " TDO (" + SvfHex(tdo) + ");\n", strError)) << strError;

    const size_t nDiffer = 600001;
    tdo.Set(nDiffer, !tdo[nDiffer]);
    tdo.Set(nDiffer + 7000, !tdo[nDiffer + 7000]);  // past the bits shown
    ASSERT_EQ(Ended::Differs, Play(strHead + " TDO (" + SvfHex(tdo) + ");\n", strError));
    const std::vector<std::string> lines =
        SvfTdoLines(m_mismatch.expected, m_mismatch.read, m_mismatch.mask, m_mismatch.nReadFrom);
    ASSERT_EQ(5u, lines.size());
    EXPECT_EQ("bits 600000 to 604095 of " + std::to_string(nBits) + ", the first out on the right:", lines[0]);
    EXPECT_EQ("  differ   " + std::string(1023, '0') + "2", lines[4]) << "the one bit that differs among them";
    EXPECT_LE(m_mismatch.read.size(), 3 * SVF_SHOWN_BITS) << "a window kept, not the whole read";

    // Clock by clock, as the SVF window steps it, the same bits are shown.
    CTapEngine stepped{&TestCable()};
    stepped.SetPaced(false);
    CSvfPlayer player(stepped, [](const std::string&) {});
    CSvfReader reader;
    reader.OpenText(strHead + " TDO (" + SvfHex(tdo) + ");\n");
    SvfCommand command;
    SvfMismatch mismatch;
    Outcome end = Ended::Done;
    while (end == Ended::Done && reader.Next(command, strError))
    {
        end = player.Begin(command, mismatch, strError);
        for (int i = 0; end == Ended::Done && player.InCommand() && i < 5; ++i)
            end = player.NextClock(mismatch);
        while (end == Ended::Done && player.InCommand())
            end = player.FinishCommand(mismatch, 5);
    }
    ASSERT_EQ(Ended::Differs, end) << strError;
    EXPECT_EQ(lines, SvfTdoLines(mismatch.expected, mismatch.read, mismatch.mask, mismatch.nReadFrom));

    // A stop asked in the middle of the scan ends it there, in SHIFT-DR: no UPDATE-DR.
    int nAsked = 0;
    m_player.SetStop([&] { return ++nAsked > 4; });
    EXPECT_EQ(Ended::Stopped, Play(strHead + ";\n", strError));
    EXPECT_EQ(STATE_SHIFT_DR, m_tap.State());
    EXPECT_NE(std::string::npos, m_player.Progress().find("line 2; the TAP is in SHIFT-DR.")) << m_player.Progress();
}

TEST_F(SvfPlayTest, EndStatesPathsAndRunTestGoWhereTheFileSays)
{
    std::string strError;
    ASSERT_EQ(Ended::Done, Play("STATE RESET; ENDDR DRPAUSE; SDR 65 TDI (0);\n", strError)) << strError;
    EXPECT_EQ(STATE_PAUSE_DR, m_tap.State());
    const uint64_t nBefore = m_tap.Clocks();
    ASSERT_EQ(Ended::Done, Play("STATE DREXIT2 DRUPDATE IDLE; RUNTEST 1000 TCK ENDSTATE IRPAUSE;\n", strError));
    EXPECT_EQ(STATE_PAUSE_IR, m_tap.State());
    // The path's three clocks, a thousand in Run-Test/Idle, then five to Pause-IR.
    EXPECT_EQ(3u + 1000u + 5u, m_tap.Clocks() - nBefore);
    ASSERT_EQ(Ended::Refused, Play("STATE IRPAUSE DRPAUSE;\n", strError));
    EXPECT_NE(std::string::npos, strError.find("from IRPAUSE to DRPAUSE, which one clock does not")) << strError;
    EXPECT_EQ(STATE_PAUSE_IR, m_tap.State());
    ASSERT_EQ(Ended::Done, Play("FREQUENCY 1E6 HZ; TRST ON; TRST OFF;\n", strError));
    EXPECT_EQ(2u, m_notes.size()) << "FREQUENCY noted once, TRST said once";
}

std::string WriteSvf(const char* pszName, const std::string& text)
{
    char folder[MAX_PATH];
    ::GetTempPathA(MAX_PATH, folder);
    const std::string strPath = std::string(folder) + pszName;
    HANDLE hFile = ::CreateFileA(strPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD dwWritten = 0;
    ::WriteFile(hFile, text.data(), static_cast<DWORD>(text.size()), &dwWritten, nullptr);
    ::CloseHandle(hFile);
    return strPath;
}

// A file is read 64 KB at a time: a comment's "//" and a long value each split between two
// reads are read as one; a file that carries no TDI where it must is refused before any clock.
TEST_F(SvfPlayTest, AFileIsReadAcrossItsReadsAndRefusedWholeBeforeAnyClock)
{
    std::string text = "STATE RESET;\n!";
    text += std::string(65536 - 1 - text.size(), 'x');  // the next "//" starts on the read's last byte
    // After a reset: device 3's BYPASS bit, then the IDCODEs of device 2 and device 1.
    text += "//HIR 8 TDI (FF);\nSDR 65 TDI (";
    text += std::string(65536 - text.size() % 65536 + 3, ' ') + "0 0000 0000 0000 0000)\n TDO (0 3579 A126 6ACF 0086);\n";
    const std::string strGood = WriteSvf("morva-svf-long.svf", text);
    std::string strError;
    EXPECT_EQ(Ended::Done, m_player.PlayFile(strGood, m_mismatch, strError)) << strError;
    EXPECT_EQ(2u, m_player.Commands()) << "the HIR stays in its comment";
    ::DeleteFileA(strGood.c_str());

    const std::string strBad = WriteSvf("morva-svf-bad.svf", "SIR 4 TDI (2);\nSDR 32 TDI (0);\n\nSDR 8 TDO (1);\n");
    const uint64_t nBefore = m_tap.Clocks();
    EXPECT_EQ(Ended::Refused, m_player.PlayFile(strBad, m_mismatch, strError));
    EXPECT_NE(std::string::npos, strError.find("morva-svf-bad.svf:4: SDR 8 gives no TDI")) << strError;
    EXPECT_EQ(nBefore, m_tap.Clocks());
    ::DeleteFileA(strBad.c_str());
}

std::vector<TapStep> Steps(std::initializer_list<int> states)
{
    std::vector<TapStep> steps;
    int nFrom = STATE_UNKNOWN;
    for (int nTo : states)
    {
        if (nFrom != STATE_UNKNOWN)
            steps.push_back(StepInto(nFrom, nTo));
        nFrom = nTo;
    }
    return steps;
}

// Every clock of a session, and of its SVF file played back: the same states, TMS, and in the
// shifts the same TDI and TDO.
std::vector<std::string> Clocks(const CSessionRecord& session)
{
    std::vector<std::string> clocks;
    int nBefore = STATE_UNKNOWN;
    for (size_t i = 0; i < session.Count(); ++i)
    {
        const ClockRecord& clock = session.At(i);
        // A reset's clocks go where TMS takes them, told or not.
        const int nState = clock.nState == STATE_UNKNOWN && nBefore != STATE_UNKNOWN ? NextTapState(nBefore, clock.Tms())
                                                                                       : clock.nState;
        std::string text = std::string(TapStateCode(nState)) + " " + std::to_string(clock.Tms());
        if (nBefore == STATE_SHIFT_DR || nBefore == STATE_SHIFT_IR)
            text += " " + std::to_string(clock.Tdi()) + std::to_string(clock.Tdo());
        clocks.push_back(text);
        nBefore = nState;
    }
    return clocks;
}

// A session as the writer writes it.
std::string SessionAsSvf(const CSessionRecord& session, const SvfPadding& padding)
{
    CSvfWriter writer(padding);
    for (size_t i = 0; i < session.Count(); ++i)
        writer.Add(session.At(i));
    writer.Finish();
    return writer.Take();
}

// The file played by a fresh engine on the same board, every command as it expects.
void Replay(const std::string& text, CTapEngine& replay, SvfMismatch& mismatch)
{
    replay.SetPaced(false);
    CSvfPlayer player(replay, [](const std::string&) {});
    CSvfReader reader;
    reader.OpenText(text);
    SvfCommand command;
    std::string strError;
    while (reader.Next(command, strError))
        ASSERT_EQ(Ended::Done, player.Play(command, mismatch, strError)) << command.nLine << " " << text;
    ASSERT_EQ("", strError);
}

// The sleeps asked for, counted and not slept.
DWORD g_dwSlept = 0;
void CountSleep(DWORD dwMilliseconds)
{
    g_dwSlept += dwMilliseconds;
}

// RUNTEST's end state holds for the RUNTESTs after it; at a FREQUENCY given, its clocks (TCK or
// SCK) take at least their time; TRST ON leaves the TAP in Test-Logic-Reset; a path that begins
// with RESET goes from anywhere; a path one clock cannot take is refused before any clock.
TEST_F(SvfPlayTest, RunTestStatesFrequencyTrstAndPathsAsTheStandardSays)
{
    const AFX_SLEEP pfnBefore = AfxSetSleep(&CountSleep);
    g_dwSlept = 0;
    std::string strError;
    ASSERT_EQ(Ended::Done, Play("STATE RESET; RUNTEST IDLE 10 TCK ENDSTATE DRPAUSE; RUNTEST 10 TCK;\n", strError));
    EXPECT_EQ(STATE_PAUSE_DR, m_tap.State()) << "the end state of the RUNTEST before";
    EXPECT_EQ(0u, g_dwSlept);
    ASSERT_EQ(Ended::Done, Play("FREQUENCY 1E3 HZ; RUNTEST 2000 TCK;\n", strError));
    EXPECT_GE(g_dwSlept, 1900u) << "2000 clocks at 1 kHz";
    g_dwSlept = 0;
    ASSERT_EQ(Ended::Done, Play("RUNTEST 3000 SCK;\n", strError));
    EXPECT_GE(g_dwSlept, 2900u) << "3000 SCK at 1 kHz";
    AfxSetSleep(pfnBefore);

    ASSERT_EQ(Ended::Done, Play("STATE IRPAUSE; TRST ON;\n", strError));
    EXPECT_EQ(STATE_TEST_LOGIC_RESET, m_tap.State());
    ASSERT_EQ(Ended::Done, Play("TRST OFF; STATE IRPAUSE; STATE RESET IDLE;\n", strError)) << strError;
    EXPECT_EQ(STATE_RUN_TEST_IDLE, m_tap.State());

    const std::string strPath = WriteSvf("morva-svf-path.svf", "STATE RESET;\nSIR 4 TDI (2);\nSTATE IRPAUSE DRPAUSE;\n");
    const uint64_t nBefore = m_tap.Clocks();
    EXPECT_EQ(Ended::Refused, m_player.PlayFile(strPath, m_mismatch, strError));
    EXPECT_NE(std::string::npos, strError.find("morva-svf-path.svf:3: STATE's path goes from IDLE to IRPAUSE")) << strError;
    EXPECT_EQ(nBefore, m_tap.Clocks()) << "no clock before the refusal";
    ::DeleteFileA(strPath.c_str());
}

// A RUNTEST of four thousand million clocks, or of a million seconds, is a file's right; it ends
// where a stop asks, between runs of clocks or slices of its wait, the TAP where it was left. Clock
// by clock, a budget gives the window back with the command still begun.
TEST_F(SvfPlayTest, ALongRunTestStopsWhereAskedAndGoesOnASliceAtATime)
{
    const AFX_SLEEP pfnBefore = AfxSetSleep(&CountSleep);
    int nAsked = 0;
    m_player.SetStop([&] { return ++nAsked > 3; });
    std::string strError;
    const uint64_t nBefore = m_tap.Clocks();
    EXPECT_EQ(Ended::Stopped, Play("STATE RESET; RUNTEST IDLE 4294967295 TCK;\n", strError));
    EXPECT_LT(m_tap.Clocks() - nBefore, 100000u);
    EXPECT_EQ(STATE_RUN_TEST_IDLE, m_tap.State());
    EXPECT_NE(std::string::npos, m_player.Progress().find("RUNTEST, 12288 of 4294967295 clocks; the TAP is in RUN-TEST/IDLE"))
        << m_player.Progress();
    nAsked = 0;
    g_dwSlept = 0;
    EXPECT_EQ(Ended::Stopped, Play("RUNTEST 1000000 SEC;\n", strError));
    EXPECT_LE(g_dwSlept, 300u) << "three slices of the wait, then the stop";

    m_player.SetStop(nullptr);
    CSvfReader reader;
    reader.OpenText("RUNTEST IDLE 4294967295 TCK;\n");
    SvfCommand command;
    ASSERT_TRUE(reader.Next(command, strError));
    ASSERT_EQ(Ended::Done, m_player.Begin(command, m_mismatch, strError));
    ASSERT_EQ(Ended::Done, m_player.FinishCommand(m_mismatch, 20));
    EXPECT_TRUE(m_player.InCommand());
    EXPECT_GT(m_player.Plan().nDone, 0u);
    EXPECT_LT(m_player.Plan().nDone, m_player.Plan().Clocks());
    AfxSetSleep(pfnBefore);
}

// A walk through Update without a shift loads a register: the file keeps it, and played on the
// same board it reads what the session read.
TEST_F(SvfPlayTest, AWalkThroughUpdateIsKeptInTheFileWritten)
{
    ASSERT_TRUE(m_tap.Reset());
    // The captured instructions loaded by Update-IR (every device's capture, BYPASS for most),
    // then the data registers shifted straight from Update, without Run-Test/Idle.
    ASSERT_TRUE(m_tap.Run(Steps({STATE_TEST_LOGIC_RESET, STATE_RUN_TEST_IDLE, STATE_SELECT_DR, STATE_SELECT_IR,
                                 STATE_CAPTURE_IR, STATE_EXIT1_IR, STATE_UPDATE_IR, STATE_SELECT_DR, STATE_CAPTURE_DR,
                                 STATE_SHIFT_DR})));
    std::vector<TapStep> shift;
    for (int i = 0; i < 40; ++i)
        shift.push_back({0, 1, STATE_SHIFT_DR});
    ASSERT_TRUE(m_tap.Run(shift));
    ASSERT_TRUE(m_tap.Run(Steps({STATE_SHIFT_DR, STATE_EXIT1_DR, STATE_UPDATE_DR, STATE_RUN_TEST_IDLE})));
    const std::string text = SessionAsSvf(m_tap.Session(), SvfPadding{});
    EXPECT_NE(std::string::npos, text.find("STATE DRSELECT IRSELECT IRCAPTURE IREXIT1 IRUPDATE IDLE;\n")) << text;
    CTapEngine replay{&TestCable()};
    Replay(text, replay, m_mismatch);
}

// Device 2 spoken to by a person: whole values sent, a shift clicked, one left in Pause and updated
// from there, clocks held in Run-Test/Idle, a reset from Idle. The file the
// session writes brings a fresh TAP through the same clocks, expecting what was read.
TEST_F(SvfPlayTest, ASessionWrittenAsSvfPlaysBackClockForClock)
{
    ASSERT_TRUE(m_tap.Reset());
    ASSERT_TRUE(m_tap.Run(Steps({STATE_TEST_LOGIC_RESET, STATE_RUN_TEST_IDLE, STATE_RUN_TEST_IDLE,
                                 STATE_RUN_TEST_IDLE})));
    // IDCODE (02) into device 2, BYPASS into the others: device 3's eight ones go in first.
    CBits ir(8, true);
    ir.Append(BitsOf({0, 1, 0, 0, 0, 0}));
    ir.Append(CBits(4, true));
    const auto never = [](size_t) { return false; };
    ASSERT_EQ(Ended::Done, m_tap.Shift(TAP_IR, ir, never));
    ASSERT_EQ(Ended::Done, m_tap.Shift(TAP_DR, CBits(34, false), never));
    // By clicks: four bits and Update; then two bits left in Pause, and Update from there.
    ASSERT_TRUE(m_tap.Run(Steps({STATE_RUN_TEST_IDLE, STATE_SELECT_DR, STATE_CAPTURE_DR, STATE_SHIFT_DR,
                                 STATE_SHIFT_DR, STATE_SHIFT_DR, STATE_SHIFT_DR, STATE_EXIT1_DR, STATE_UPDATE_DR,
                                 STATE_RUN_TEST_IDLE,
                                 STATE_SELECT_DR, STATE_CAPTURE_DR, STATE_SHIFT_DR, STATE_SHIFT_DR, STATE_EXIT1_DR,
                                 STATE_PAUSE_DR, STATE_EXIT2_DR, STATE_UPDATE_DR, STATE_RUN_TEST_IDLE})));
    ASSERT_TRUE(m_tap.Reset());

    const std::string text = SessionAsSvf(m_tap.Session(), SvfPadding{8, 4, 1, 1});
    for (const char* pszLine : {"STATE RESET;\nSTATE IDLE;\nRUNTEST IDLE 2 TCK ENDSTATE IDLE;\n",
                                "HIR 8 TDI (FF) TDO (05) MASK (FF);\nTIR 4 TDI (F) TDO (1) MASK (F);\n"
                                "SIR 6 TDI (02) TDO (01) MASK (3F);\n",
                                "SDR 32 TDI (00000000) TDO (35678043) MASK (FFFFFFFF);\n",
                                "SDR 2 TDI (0) TDO (3) MASK (3);\nHDR 0;\nTDR 0;\nENDDR DRPAUSE;\nSDR 2 TDI (0) TDO (2) MASK (3);\nSTATE IDLE;\n",
                                "STATE RESET;\nRUNTEST RESET 3 TCK ENDSTATE RESET;\n"})
        EXPECT_NE(std::string::npos, text.find(pszLine)) << pszLine << " not in\n" << text;

    CTapEngine replay{&TestCable()};
    Replay(text, replay, m_mismatch);
    const std::vector<std::string> made = Clocks(m_tap.Session()), played = Clocks(replay.Session());
    for (size_t i = 0; i < made.size() && i < played.size(); ++i)
        ASSERT_EQ(made[i], played[i]) << "clock " << i;
    EXPECT_EQ(made.size(), played.size());
}

// Clock by clock, a file makes the clocks it makes whole: a command begun, a clock stepped, the
// rest finished at once or clock by clock; a TDO that differs is found after its scan's last clock.
TEST_F(SvfPlayTest, ClockByClockAFileMakesTheClocksItMakesWhole)
{
    const std::string text = std::string(DEVICE_2_IDCODE) +
                             "ENDDR DRPAUSE; SDR 32 TDI (0) TDO (35678043);\n"
                             "STATE DREXIT2 DRUPDATE IDLE; RUNTEST 20 TCK ENDSTATE IRPAUSE; ENDIR IDLE;\n"
                             "SIR 6 TDI (02) TDO (21) MASK (3F);\n";
    std::string strError;
    ASSERT_EQ(Ended::Differs, Play(text, strError));
    EXPECT_EQ(8, m_mismatch.nLine);

    CTapEngine stepped{&TestCable()};
    stepped.SetPaced(false);
    CSvfPlayer player(stepped, [](const std::string&) {});
    CSvfReader reader;
    reader.OpenText(text);
    SvfCommand command;
    SvfMismatch mismatch;
    Outcome end = Ended::Done;
    for (int nCommand = 0; end == Ended::Done && reader.Next(command, strError); ++nCommand)
    {
        end = player.Begin(command, mismatch, strError);
        // Every other command: one clock, then the rest at once.
        if (end == Ended::Done && player.InCommand() && nCommand % 2 == 0)
            end = player.NextClock(mismatch);
        while (end == Ended::Done && player.InCommand())
            end = nCommand % 2 == 0 ? player.FinishCommand(mismatch) : player.NextClock(mismatch);
    }
    ASSERT_EQ(Ended::Differs, end) << strError;
    EXPECT_EQ(8, mismatch.nLine);
    EXPECT_EQ(m_mismatch.read, mismatch.read);
    EXPECT_EQ(m_mismatch.expected, mismatch.expected);
    EXPECT_EQ(Clocks(m_tap.Session()), Clocks(stepped.Session()));
}

// What SVF cannot say: clocks before the first reset from a state not known, and a session ending
// in a state SVF cannot stop in, or inside a shift, are said in the file; a rest in Pause inside a
// shift is left out, the bits each side of it one scan.
TEST(SvfWriteTest, WhatSvfCannotSayIsSaidInTheFile)
{
    const auto clock = [](int nTms, int nState) { return MakeClockRecord(0, 1, nTms, 0, 1, nState); };
    CSvfWriter writer;
    for (int nState : {STATE_UNKNOWN, STATE_PAUSE_DR, STATE_EXIT2_DR, STATE_TEST_LOGIC_RESET, STATE_RUN_TEST_IDLE,
                       STATE_SELECT_DR, STATE_SELECT_IR})
        writer.Add(clock(nState == STATE_RUN_TEST_IDLE || nState == STATE_PAUSE_DR ? 0 : 1, nState));
    writer.Finish();
    EXPECT_EQ("! 2 clocks from a state not known are left out here.\nSTATE RESET;\nSTATE IDLE;\n"
              "! The session ends in IRSELECT, where SVF cannot stop: its last 2 clocks are left out.\n",
              writer.Take());

    for (int nState : {STATE_CAPTURE_IR, STATE_SHIFT_IR, STATE_EXIT1_IR, STATE_PAUSE_IR, STATE_EXIT2_IR,
                       STATE_SHIFT_IR, STATE_EXIT1_IR, STATE_UPDATE_IR, STATE_RUN_TEST_IDLE, STATE_SELECT_DR,
                       STATE_CAPTURE_DR, STATE_SHIFT_DR, STATE_SHIFT_DR, STATE_SHIFT_DR})
        writer.Add(clock(0, nState));
    writer.Finish();
    EXPECT_EQ("SIR 2 TDI (0) TDO (3) MASK (3);\n"
              "! The session ends inside this shift; it is left in PAUSE, not updated.\n"
              "ENDDR DRPAUSE;\nSDR 2 TDI (0) TDO (3) MASK (3);\n",
              writer.Take());
}

// The other devices' parts are written only where the scan is theirs to pad: an instruction that
// puts no ones in them goes whole, and the headers written before are taken back.
TEST(SvfWriteTest, APaddingWrittenForOneScanIsTakenBackForOneItDoesNotFit)
{
    const auto clock = [](int nTms, int nTdi, int nState) { return MakeClockRecord(0, 1, nTms, nTdi, 0, nState); };
    CSvfWriter writer(SvfPadding{2, 1, 1, 1});
    writer.Add(clock(1, 1, STATE_TEST_LOGIC_RESET));
    const int walk[] = {STATE_RUN_TEST_IDLE, STATE_SELECT_DR, STATE_SELECT_IR, STATE_CAPTURE_IR, STATE_SHIFT_IR};
    for (const char* pszBits : {"11011", "01011"})
    {
        for (int nState : walk)
            writer.Add(clock(nState == STATE_SELECT_DR || nState == STATE_SELECT_IR ? 1 : 0, 0, nState));
        // Five bits, the first shifted first; the last leaves Shift-IR.
        for (int i = 0; i < 5; ++i)
            writer.Add(clock(i == 4 ? 1 : 0, pszBits[i] - '0', i == 4 ? STATE_EXIT1_IR : STATE_SHIFT_IR));
        writer.Add(clock(1, 0, STATE_UPDATE_IR));
    }
    writer.Add(clock(0, 0, STATE_RUN_TEST_IDLE));
    writer.Finish();
    EXPECT_EQ("STATE RESET;\nSTATE IDLE;\n"
              "HIR 2 TDI (3) TDO (0) MASK (3);\nTIR 1 TDI (1) TDO (0) MASK (1);\nSIR 2 TDI (2) TDO (0) MASK (3);\n"
              "HIR 0;\nTIR 0;\nSIR 5 TDI (1A) TDO (00) MASK (1F);\n",
              writer.Take());
}

// The file says which clocks the record no longer kept, and a save that cannot be made leaves nothing.
TEST(SvfWriteTest, ASavedFileSaysWhatTheRecordLostAndAFailedSaveLeavesNothing)
{
    CSessionRecord session(4);
    for (int nState : {STATE_UNKNOWN, STATE_UNKNOWN, STATE_TEST_LOGIC_RESET, STATE_RUN_TEST_IDLE, STATE_RUN_TEST_IDLE,
                       STATE_RUN_TEST_IDLE})
        session.Add(MakeClockRecord(0, 1, nState == STATE_RUN_TEST_IDLE ? 0 : 1, 0, 1, nState));
    char folder[MAX_PATH];
    ::GetTempPathA(MAX_PATH, folder);
    const std::string strPath = std::string(folder) + "morva-saved.svf";
    std::string strError;
    ASSERT_TRUE(SaveSvf(session, "today", SvfPadding(), strPath, strError)) << strError;
    char text[512] = {};
    DWORD dwRead = 0;
    HANDLE hFile = ::CreateFileA(strPath.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ::ReadFile(hFile, text, sizeof(text) - 1, &dwRead, nullptr);
    ::CloseHandle(hFile);
    ::DeleteFileA(strPath.c_str());
    const std::string saved(text);
    EXPECT_NE(std::string::npos, saved.find(": the session of today\n! Its first 2 clocks were no longer kept.\n"
                                            "STATE RESET;\nSTATE IDLE;\nRUNTEST IDLE 2 TCK ENDSTATE IDLE;\n"))
        << saved;

    const std::string strNowhere = std::string(folder) + "morva-no-such-folder\\saved.svf";
    EXPECT_FALSE(SaveSvf(session, "today", SvfPadding(), strNowhere, strError));
    EXPECT_EQ(0u, strError.find("Could not create")) << strError;
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesA(strNowhere.c_str()));
}

// Bits not compared (x) and bits not read yet (?) are never marked as differing; a long value is
// cut at its front, its low bits kept.
TEST(SvfTextTest, OnlyBitsComparedAndReadAreMarkedAndLongValuesAreCutAtTheFront)
{
    const std::vector<unsigned char> expected = {1, 1, 0, 1}, mask = {1, 0, 1, 1}, read = {0, 0};
    const std::vector<std::string> lines =
        SvfTdoLines(Packed(expected), Packed(read), Packed(mask));
    ASSERT_EQ(8u, lines.size());
    EXPECT_EQ("  differ   1", lines[3]);
    EXPECT_EQ("  expected 10x1", lines[5]);
    EXPECT_EQ("  read     ??00", lines[6]);
    EXPECT_EQ("              ^", lines[7]);

    std::string strError;
    const std::vector<SvfCommand> commands =
        ReadAll("SDR 160 TDI (123456789ABCDEF0123456789ABCDEF012345678);\nRUNTEST DRPAUSE 5 TCK 1E-3 SEC;\n", strError);
    ASSERT_EQ(2u, commands.size()) << strError;
    EXPECT_EQ("SDR 160 TDI (...9ABCDEF0123456789ABCDEF012345678)", SvfCommandText(commands[0]));
    EXPECT_EQ("RUNTEST DRPAUSE 5 TCK 0.001 SEC", SvfCommandText(commands[1]));
}

} // namespace
