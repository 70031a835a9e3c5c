// Where a tool window opens the first time: beside the window it belongs to, covering neither
// it nor the program's other windows where the screen has room, and on the screen in any case.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "platform/placement.h"

namespace {

const RECT SCREEN_1024 = {0, 0, 1024, 738};  // 1,024x768 less a 30-pixel task bar
const SIZE MAIN_SIZE = {425, 502};

LONG Overlap(const RECT& a, const RECT& b)
{
    const LONG nWidth = std::min(a.right, b.right) - std::max(a.left, b.left);
    const LONG nHeight = std::min(a.bottom, b.bottom) - std::max(a.top, b.top);
    return nWidth > 0 && nHeight > 0 ? nWidth * nHeight : 0;
}

RECT Placed(SIZE size, const RECT& owner, const std::vector<RECT>& others, const RECT& work)
{
    const POINT place = ChoosePlace(size, owner, others, work);
    return {place.x, place.y, place.x + size.cx, place.y + size.cy};
}

bool Inside(const RECT& rect, const RECT& work)
{
    return rect.left >= work.left && rect.top >= work.top && rect.right <= work.right && rect.bottom <= work.bottom;
}

} // namespace

TEST(PlacementTest, ThreeToolWindowsOnASmallScreenCoverNeitherTheMainWindowNorEachOther)
{
    const RECT main = {3, 22, 3 + MAIN_SIZE.cx, 22 + MAIN_SIZE.cy};
    const RECT chain = Placed({450, 260}, main, {}, SCREEN_1024);
    EXPECT_EQ(main.right + 4, chain.left) << "right of the main window";
    EXPECT_EQ(0, Overlap(chain, main));
    // The pin view belongs to the chain window; the main window is one of the others.
    const RECT pins = Placed({380, 300}, chain, {main}, SCREEN_1024);
    EXPECT_TRUE(Inside(pins, SCREEN_1024));
    EXPECT_EQ(0, Overlap(pins, main));
    EXPECT_EQ(0, Overlap(pins, chain));
    // Nowhere is there room for the SVF window: it goes where it covers least.
    const RECT svf = Placed({420, 230}, main, {chain, pins}, SCREEN_1024);
    EXPECT_TRUE(Inside(svf, SCREEN_1024));
    EXPECT_LT(Overlap(svf, main), 420 * 230 / 10);
}

TEST(PlacementTest, WithoutRoomTheWindowStaysOnTheScreenAndCoversTheLeastOfItsOwner)
{
    // A main window across the whole width: right and left are off the screen, below is free.
    const RECT wide = {0, 0, 1000, 300};
    const RECT below = Placed({400, 200}, wide, {}, SCREEN_1024);
    EXPECT_EQ(0, below.left);
    EXPECT_EQ(304, below.top);
    // A screen the owner fills: the tool window is on the screen, over the owner.
    const RECT full = {0, 0, 1024, 738};
    const RECT over = Placed({400, 200}, full, {}, SCREEN_1024);
    EXPECT_TRUE(Inside(over, SCREEN_1024));
    // A window larger than the screen keeps its title bar on it.
    const RECT huge = Placed({2000, 1000}, full, {}, SCREEN_1024);
    EXPECT_EQ(0, huge.left);
    EXPECT_EQ(0, huge.top);
}

TEST(PlacementTest, TheSvfWindowOnASmallScreenCoversAnEdgeOfTheMainWindowRatherThanAWholeOther)
{
    // On 1,024x768: the main window, the chain window below it, the pin view right of it.
    const RECT main = {0, 0, 431, 527}, chain = {0, 518, 671, 768}, pins = {435, 0, 966, 310};
    const RECT svf = Placed({601, 283}, main, {chain, pins}, {0, 0, 1024, 768});
    EXPECT_EQ(423, svf.left);
    EXPECT_EQ(314, svf.top) << "below the pin view, over 35 rows of the chain window";
    EXPECT_EQ(0, Overlap(svf, pins));
    EXPECT_EQ(8 * (527 - 314), Overlap(svf, main)) << "the main window's right margin";
}
