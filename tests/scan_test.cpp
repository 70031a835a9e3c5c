// Values as a person writes them, and the ways a SEND takes through the diagram.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

#include "res/resource.h"
#include "tap/ShiftOut.h"
#include "tap/ScanValue.h"
#include "panel/TapTable.h"

#include "test_bits.h"

namespace {

struct GoodValue
{
    const char* pszText;
    unsigned long long nValue;
    size_t nBits;
};

const GoodValue GOOD_VALUES[] = {
    {"0010", 0x2, 4},          {"1", 1, 1},
    {"0x09", 0x09, 8},         {"0X0f", 0x0F, 8},
    {"4'b0010", 0x2, 4},       {"6'h09", 0x09, 6},
    {"32'h0", 0, 32},          {"8'd255", 255, 8},
    {"8'D255", 255, 8},        {"12'o7777", 0xFFF, 12},
    {"15'o52525", 0x5555, 15}, {"20'd699050", 0xAAAAA, 20}, {"0x0A5", 0x0A5, 12},
    {"32'h14D5_654B", 0x14D5654B, 32},
    {"1_0000", 0x10, 5},       {"  4'hF\t", 0xF, 4},
    {"8'h0FF", 0xFF, 8},       {"64'd18446744073709551615", ~0ull, 64},
    {"40'd1099511627775", 0xFFFFFFFFFFull, 40},
};

} // namespace

TEST(ScanValueTest, EachFormGivesItsBitsLowestFirst)
{
    for (const GoodValue& good : GOOD_VALUES)
    {
        CBits bits;
        std::string strError;
        ASSERT_TRUE(ParseScanValue(good.pszText, bits, strError)) << good.pszText << ": " << strError;
        EXPECT_EQ(Bits(good.nValue, good.nBits), bits) << good.pszText;
    }
}

TEST(ScanValueTest, LengthsRunFromOneTo4096Bits)
{
    CBits bits;
    std::string strError;
    ASSERT_TRUE(ParseScanValue("4096'h0", bits, strError));
    EXPECT_EQ(4096u, bits.size());
    ASSERT_TRUE(ParseScanValue(std::string(4096, '1'), bits, strError));
    EXPECT_EQ(CBits(4096, true), bits);
    ASSERT_TRUE(ParseScanValue("0x" + std::string(1024, 'F'), bits, strError));
    EXPECT_EQ(4096u, bits.size());
    // The largest decimal that fits 4096 bits, 2^4096 - 1, has 1234 digits; worked out exactly.
    std::string strDecimal = "1";
    for (int i = 0; i < 4096; ++i)
    {
        int nCarry = 0;
        for (auto it = strDecimal.rbegin(); it != strDecimal.rend(); ++it)
        {
            const int nDigit = (*it - '0') * 2 + nCarry;
            *it = static_cast<char>('0' + nDigit % 10);
            nCarry = nDigit / 10;
        }
        if (nCarry != 0)
            strDecimal.insert(strDecimal.begin(), static_cast<char>('0' + nCarry));
    }
    strDecimal.back() = static_cast<char>(strDecimal.back() - 1);  // 2^n never ends in 0
    ASSERT_TRUE(ParseScanValue("4096'd" + strDecimal, bits, strError)) << strError;
    EXPECT_EQ(CBits(4096, true), bits);
    strDecimal.back() = static_cast<char>(strDecimal.back() + 1);
    EXPECT_FALSE(ParseScanValue("4096'd" + strDecimal, bits, strError));
}

TEST(ScanValueTest, AnythingElseIsRefusedWithTheForms)
{
    const std::string refused[] = {
        "",         "  ",      "2",       "0x",       "0xG1",    "12x",       "4'b2",     "4'h1F",
        "8'd256",   "0'b0",    "4097'h0", "_01",      "4'",      "4'q1",      "x",        "'h1",
        "4'b",      "4'b_1",   "-1",      "4 'b1",    "1'bx",    "99999'h0",  "0x1 0",
        std::string(4097, '0'),           "0x" + std::string(1025, '0'),
    };
    for (const std::string& strText : refused)
    {
        CBits bits = BitsOf({1, 0});
        std::string strError;
        EXPECT_FALSE(ParseScanValue(strText, bits, strError)) << strText;
        EXPECT_NE(std::string::npos, strError.find("4'b0010")) << strText << ": " << strError;
        EXPECT_EQ(BitsOf({1, 0}), bits) << strText << ": refused, yet the bits changed";
    }
}

TEST(ScanValueTest, BitsShowAsASizedHexLiteralOfTheSameLength)
{
    EXPECT_EQ("32'h14D5654B", FormatSizedHex(Bits(0x14D5654B, 32)));
    EXPECT_EQ("4'h1", FormatSizedHex(Bits(1, 4)));
    EXPECT_EQ("8'h4A", FormatSizedHex(Bits(0x4A, 8)));
    EXPECT_EQ("5'h11", FormatSizedHex(Bits(0x11, 5)));
    EXPECT_EQ("1'h0", FormatSizedHex(Bits(0, 1)));
}

TEST(ScanPathTest, SendsStartOnlyWhereTheTapCanWait)
{
    for (const TapStateRow& row : TAP_STATES)
    {
        const bool bStart = row.nIndex == 0 || row.nIndex == 1 || row.nIndex == 6 || row.nIndex == 8 ||
                            row.nIndex == 16 || row.nIndex == 18;
        EXPECT_EQ(bStart, IsShiftStart(row.nIndex)) << TapStateCode(row.nIndex);
    }
}

// The buttons whose clicks drive the same levels into the same states as the steps.
std::vector<UINT> Buttons(const std::vector<TapStep>& steps)
{
    std::vector<UINT> buttons;
    for (const TapStep& step : steps)
    {
        const auto it = std::find_if(std::begin(STEP_COMMANDS), std::end(STEP_COMMANDS),
                                     [&](const StepCommandRow& row) { return row.step == step; });
        buttons.push_back(it != std::end(STEP_COMMANDS) ? it->nID : 0);
    }
    return buttons;
}

TEST(ScanPathTest, TheShortestWayToEachShiftStateFromEachStart)
{
    struct Case
    {
        int nFrom;
        int nTo;
        std::vector<UINT> path;
    };
    const Case cases[] = {
        {0, 4, {IDC_RUN_TEST_IDLE, IDC_SELECT_DR, IDC_CAPTURE_DR, IDC_SHIFT_DR}},
        {0, 14, {IDC_RUN_TEST_IDLE, IDC_SELECT_DR, IDC_SELECT_IR, IDC_CAPTURE_IR, IDC_SHIFT_IR}},
        {1, 4, {IDC_SELECT_DR, IDC_CAPTURE_DR, IDC_SHIFT_DR}},
        {1, 14, {IDC_SELECT_DR, IDC_SELECT_IR, IDC_CAPTURE_IR, IDC_SHIFT_IR}},
        // From Pause the shift goes on through Exit2: no new Capture.
        {6, 4, {IDC_EXIT2_DR, IDC_SHIFT_DR}},
        {16, 14, {IDC_EXIT2_IR, IDC_SHIFT_IR}},
        {6, 14, {IDC_EXIT2_DR, IDC_UPDATE_DR, IDC_SELECT_DR, IDC_SELECT_IR, IDC_CAPTURE_IR, IDC_SHIFT_IR}},
        {16, 4, {IDC_EXIT2_IR, IDC_UPDATE_IR, IDC_SELECT_DR, IDC_CAPTURE_DR, IDC_SHIFT_DR}},
        {8, 4, {IDC_SELECT_DR, IDC_CAPTURE_DR, IDC_SHIFT_DR}},
        {18, 14, {IDC_SELECT_DR, IDC_SELECT_IR, IDC_CAPTURE_IR, IDC_SHIFT_IR}},
        {4, 4, {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.path, Buttons(ShortestPath(c.nFrom, c.nTo))) << c.nFrom << " to " << c.nTo;
}

TEST(ShiftOutTest, BitsFromCaptureToExit1AcrossAPauseAreOneValue)
{
    CShiftOut out;
    EXPECT_FALSE(out.OnClock(2, STATE_CAPTURE_DR, 1));
    EXPECT_FALSE(out.OnClock(STATE_CAPTURE_DR, STATE_SHIFT_DR, 1));  // TDO not yet the register's
    EXPECT_FALSE(out.OnClock(STATE_SHIFT_DR, STATE_SHIFT_DR, 1));
    EXPECT_TRUE(out.OnClock(STATE_SHIFT_DR, STATE_EXIT1_DR, 0));
    EXPECT_EQ("2'h1", out.Shown());
    EXPECT_FALSE(out.OnClock(STATE_EXIT1_DR, STATE_PAUSE_DR, 1));
    EXPECT_FALSE(out.OnClock(STATE_PAUSE_DR, 7, 1));
    EXPECT_FALSE(out.OnClock(7, STATE_SHIFT_DR, 1));
    EXPECT_TRUE(out.OnClock(STATE_SHIFT_DR, STATE_EXIT1_DR, 1));
    EXPECT_EQ("3'h5", out.Shown());
    // An instruction shift between keeps its own bits; a new Capture starts afresh.
    EXPECT_FALSE(out.OnClock(13, STATE_SHIFT_IR, 1));
    EXPECT_TRUE(out.OnClock(STATE_SHIFT_IR, STATE_EXIT1_IR, 1));
    EXPECT_EQ("1'h1", out.Shown());
    EXPECT_FALSE(out.OnClock(2, STATE_CAPTURE_DR, 1));
    EXPECT_FALSE(out.OnClock(STATE_CAPTURE_DR, STATE_SHIFT_DR, 1));
    EXPECT_TRUE(out.OnClock(STATE_SHIFT_DR, STATE_EXIT1_DR, 0));
    EXPECT_EQ("1'h0", out.Shown());
}
