// The main window's set-up: icon, title font, and drawing when minimised.
#include <gtest/gtest.h>

#include "dialog_runner.h"

TEST(DialogTest, SetsItsIconLargeAndSmall)
{
    CStepperDlg dlg;
    RunDialog(dlg, [&] {
        const HICON hIcon = reinterpret_cast<HICON>(dlg.SendMessage(WM_GETICON, ICON_BIG));
        ASSERT_NE(nullptr, hIcon);
        EXPECT_EQ(reinterpret_cast<LRESULT>(hIcon), dlg.SendMessage(WM_GETICON, ICON_SMALL));
        ICONINFO info = {};
        ASSERT_TRUE(::GetIconInfo(hIcon, &info));
        BITMAP bitmap = {};
        ::GetObjectA(info.hbmMask, sizeof(bitmap), &bitmap);
        EXPECT_EQ(32, bitmap.bmWidth);
        ::DeleteObject(info.hbmMask);
        ::DeleteObject(info.hbmColor);
    });
}

TEST(DialogTest, TitleFontIsHeavyArialTwoPixelsShorterThanItsLabel)
{
    CStepperDlg dlg;
    RunDialog(dlg, [&] {
        CWnd& title = Item(dlg, IDC_TITLE);
        HFONT hFont = reinterpret_cast<HFONT>(title.SendMessage(WM_GETFONT));
        LOGFONTA lf = {};
        ASSERT_NE(0, ::GetObjectA(hFont, sizeof(lf), &lf));
        RECT client;
        title.GetClientRect(&client);
        EXPECT_EQ(client.bottom - client.top - 2, lf.lfHeight);
        EXPECT_EQ(900, lf.lfWeight);
        EXPECT_STREQ("Arial", lf.lfFaceName);
        EXPECT_EQ(std::string("MORVA Ver 0.0"), WindowText(title.m_hWnd));
    });
}

TEST(DialogTest, MinimisedByOutsideMeansItShowsItsIcon)
{
    CStepperDlg dlg;
    RunDialog(dlg, [&] {
        EXPECT_EQ(0u, dlg.GetStyle() & WS_MINIMIZEBOX);
        ::ShowWindow(dlg.m_hWnd, SW_MINIMIZE);
        EXPECT_TRUE(::IsIconic(dlg.m_hWnd));
        ::RedrawWindow(dlg.m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        EXPECT_EQ(dlg.SendMessage(WM_GETICON, ICON_BIG), dlg.SendMessage(WM_QUERYDRAGICON));
        ::ShowWindow(dlg.m_hWnd, SW_RESTORE);
        EXPECT_FALSE(::IsIconic(dlg.m_hWnd));
    });
}
