// The colour push button's drawing, on real owner-draw requests into a bitmap.
#include <gtest/gtest.h>

#include <functional>

#include "dialog_runner.h"

namespace {

const COLORREF MARKER_FACE = RGB(0, 0, 255);
const COLORREF MARKER_DISABLED = RGB(0, 255, 0);
const COLORREF MARKER_TEXT = RGB(255, 0, 0);
const COLORREF BACKGROUND = RGB(1, 2, 3);

// A 24-bit bitmap to draw a button into, and the request to draw it.
class CCanvas
{
public:
    CCanvas(int cx, int cy) : m_cx(cx), m_cy(cy)
    {
        BITMAPINFO bmi = {};
        bmi.bmiHeader.biSize = sizeof(bmi.bmiHeader);
        bmi.bmiHeader.biWidth = cx;
        bmi.bmiHeader.biHeight = -cy;
        bmi.bmiHeader.biPlanes = 1;
        bmi.bmiHeader.biBitCount = 32;
        bmi.bmiHeader.biCompression = BI_RGB;
        m_hDC = ::CreateCompatibleDC(nullptr);
        m_hBitmap = ::CreateDIBSection(m_hDC, &bmi, DIB_RGB_COLORS, reinterpret_cast<void**>(&m_pBits), nullptr, 0);
        m_hOld = ::SelectObject(m_hDC, m_hBitmap);
        Clear();
    }

    ~CCanvas()
    {
        ::SelectObject(m_hDC, m_hOld);
        ::DeleteObject(m_hBitmap);
        ::DeleteDC(m_hDC);
    }

    void Clear()
    {
        HBRUSH hBrush = ::CreateSolidBrush(BACKGROUND);
        RECT all = {0, 0, m_cx, m_cy};
        ::FillRect(m_hDC, &all, hBrush);
        ::DeleteObject(hBrush);
    }

    void Draw(CColorButton& button, UINT itemAction, UINT itemState)
    {
        ::GdiFlush();
        DRAWITEMSTRUCT dis = {};
        dis.CtlType = ODT_BUTTON;
        dis.CtlID = static_cast<UINT>(::GetDlgCtrlID(button.m_hWnd));
        dis.itemAction = itemAction;
        dis.itemState = itemState;
        dis.hwndItem = button.m_hWnd;
        dis.hDC = m_hDC;
        dis.rcItem = {0, 0, m_cx, m_cy};
        button.DrawItem(&dis);
        ::GdiFlush();
    }

    COLORREF Pixel(int x, int y) const
    {
        const DWORD bgrx = m_pBits[y * m_cx + x];
        return RGB((bgrx >> 16) & 0xFF, (bgrx >> 8) & 0xFF, bgrx & 0xFF);
    }

    int Count(COLORREF colour, const RECT& area) const
    {
        int n = 0;
        for (int y = area.top; y < area.bottom; ++y)
            for (int x = area.left; x < area.right; ++x)
                n += Pixel(x, y) == colour ? 1 : 0;
        return n;
    }

    RECT All() const { return {0, 0, m_cx, m_cy}; }

private:
    int m_cx, m_cy;
    HDC m_hDC;
    HBITMAP m_hBitmap;
    HGDIOBJ m_hOld;
    DWORD* m_pBits = nullptr;
};

const int CANVAS_CX = 80;
const int CANVAS_CY = 24;

// The area inside a push-button frame of the canvas's size.
RECT FrameInside()
{
    RECT rect = {0, 0, CANVAS_CX, CANVAS_CY};
    HDC hDC = ::CreateCompatibleDC(nullptr);
    HBITMAP hBitmap = ::CreateCompatibleBitmap(hDC, CANVAS_CX, CANVAS_CY);
    HGDIOBJ hOld = ::SelectObject(hDC, hBitmap);
    ::DrawFrameControl(hDC, &rect, DFC_BUTTON, DFCS_BUTTONPUSH | DFCS_ADJUSTRECT);
    ::SelectObject(hDC, hOld);
    ::DeleteObject(hBitmap);
    ::DeleteDC(hDC);
    return rect;
}

void Prepare(CColorButton& button, LPCSTR caption, COLORREF face)
{
    button.SetWindowText(caption);
    button.m_crFace = face;
    button.m_crText = MARKER_TEXT;
    button.m_crDisabledFace = MARKER_DISABLED;
}

// Opens the main window and hands its SHIFT-DR button, with the caption and face given and the
// marker colours for text and disabled face, and a fresh canvas to draw it into.
void WithButton(LPCSTR caption, COLORREF face, const std::function<void(CColorButton&, CCanvas&)>& body)
{
    CStepperDlg dlg;
    RunDialog(dlg, [&] {
        CCanvas canvas(CANVAS_CX, CANVAS_CY);
        CColorButton& button = Item<CColorButton>(dlg, IDC_SHIFT_DR);
        Prepare(button, caption, face);
        body(button, canvas);
    });
}

} // namespace

TEST(ColorButtonTest, BindingMakesEveryBoundButtonOwnerDrawn)
{
    CStepperDlg dlg;
    RunDialog(dlg, [&] {
        for (UINT nID : {IDC_SHIFT_DR, IDC_TMS, IDC_TDI, IDC_TDO, IDC_SEND_DR})
            EXPECT_EQ(static_cast<DWORD>(BS_OWNERDRAW), Item(dlg, nID).GetStyle() & 0x0F) << nID;
        EXPECT_EQ(static_cast<DWORD>(BS_PUSHBUTTON), Item<CButton>(dlg, IDC_TCK).GetStyle() & 0x0F);
    });
}

TEST(ColorButtonTest, FullDrawFillsTheFaceInsideTheFrameAndCentresTheCaption)
{
    WithButton("SHIFT-DR", MARKER_FACE, [&](CColorButton& button, CCanvas& canvas) {
        canvas.Draw(button, ODA_DRAWENTIRE, 0);
        const RECT inside = FrameInside();
        EXPECT_TRUE(::EqualRect(&inside, &button.m_rcInner));
        EXPECT_EQ(MARKER_FACE, canvas.Pixel(inside.left, inside.top));
        EXPECT_EQ(MARKER_FACE, canvas.Pixel(inside.right - 1, inside.bottom - 1));
        EXPECT_NE(MARKER_FACE, canvas.Pixel(0, 0)) << "the frame is not filled";
        // The caption's pixels sit around the middle, as many left of it as right.
        int nLeft = 0, nRight = 0;
        for (int y = 0; y < CANVAS_CY; ++y)
            for (int x = 0; x < CANVAS_CX; ++x)
                if (canvas.Pixel(x, y) == MARKER_TEXT)
                    (x < CANVAS_CX / 2 ? nLeft : nRight)++;
        EXPECT_GT(nLeft, 0);
        EXPECT_GT(nRight, 0);
        EXPECT_NEAR(nLeft, nRight, (nLeft + nRight) / 4);
    });
}

TEST(ColorButtonTest, PressedMovesFaceAndCaptionOnePixel)
{
    WithButton("SHIFT-DR", MARKER_FACE, [&](CColorButton& button, CCanvas& canvas) {
        canvas.Draw(button, ODA_SELECT, ODS_SELECTED);
        RECT inside = FrameInside();
        ::OffsetRect(&inside, 1, 1);
        EXPECT_TRUE(::EqualRect(&inside, &button.m_rcInner));
        EXPECT_EQ(MARKER_FACE, canvas.Pixel(inside.left, inside.top));
        EXPECT_NE(MARKER_FACE, canvas.Pixel(inside.left - 1, inside.top - 1));
    });
}

TEST(ColorButtonTest, DisabledTurnsOnlyTheClassicGreyFaceToTheDisabledFace)
{
    WithButton("SHIFT-DR", RGB(0xC0, 0xC0, 0xC0), [&](CColorButton& button, CCanvas& canvas) {
        const RECT inside = FrameInside();
        canvas.Draw(button, ODA_DRAWENTIRE, ODS_DISABLED);
        EXPECT_EQ(MARKER_DISABLED, canvas.Pixel(inside.left, inside.top));
        EXPECT_EQ(0, canvas.Count(MARKER_TEXT, canvas.All())) << "a disabled caption is embossed";

        Prepare(button, "SHIFT-DR", MARKER_FACE);
        canvas.Draw(button, ODA_DRAWENTIRE, ODS_DISABLED);
        EXPECT_EQ(MARKER_FACE, canvas.Pixel(inside.left, inside.top));

        Prepare(button, "SHIFT-DR", RGB(0xC0, 0xC0, 0xC1));
        canvas.Draw(button, ODA_DRAWENTIRE, ODS_DISABLED);
        EXPECT_EQ(RGB(0xC0, 0xC0, 0xC1), canvas.Pixel(inside.left, inside.top));
    });
}

TEST(ColorButtonTest, FocusOnlyTogglesTheInsetRectangleAndNothingElse)
{
    WithButton("SHIFT-DR", MARKER_FACE, [&](CColorButton& button, CCanvas& canvas) {
        canvas.Draw(button, ODA_DRAWENTIRE, 0);
        const int nFace = canvas.Count(MARKER_FACE, canvas.All());

        canvas.Draw(button, ODA_FOCUS, ODS_FOCUS);
        RECT focus = button.m_rcInner;
        ::InflateRect(&focus, -::GetSystemMetrics(SM_CXBORDER), -::GetSystemMetrics(SM_CYBORDER));
        const int nChanged = nFace - canvas.Count(MARKER_FACE, canvas.All());
        EXPECT_GT(nChanged, 0);
        // Only the rectangle's edge changed: the face just inside it and just outside it did not.
        EXPECT_EQ(MARKER_FACE, canvas.Pixel(focus.left + 2, focus.top + 1));
        EXPECT_EQ(MARKER_FACE, canvas.Pixel(focus.left - 1, focus.top - 1));
        int nOnEdge = 0;
        for (int x = focus.left; x < focus.right; ++x)
            nOnEdge += canvas.Pixel(x, focus.top) != MARKER_FACE ? 1 : 0;
        EXPECT_GT(nOnEdge, 0);

        // Drawn by inversion: the same request again takes it away.
        canvas.Draw(button, ODA_FOCUS, 0);
        EXPECT_EQ(nFace, canvas.Count(MARKER_FACE, canvas.All()));
    });
}

TEST(ColorButtonTest, EmptyCaptionDrawsFrameAndFaceOnly)
{
    WithButton("", MARKER_FACE, [&](CColorButton& button, CCanvas& canvas) {
        canvas.Draw(button, ODA_DRAWENTIRE, 0);
        const RECT inside = FrameInside();
        const int nInside = (inside.right - inside.left) * (inside.bottom - inside.top);
        EXPECT_EQ(nInside, canvas.Count(MARKER_FACE, inside));
        EXPECT_EQ(0, canvas.Count(MARKER_TEXT, canvas.All()));
        EXPECT_EQ(0, canvas.Count(BACKGROUND, canvas.All())) << "the frame covers the rest";
    });
}

TEST(ColorButtonTest, ColourChangeShowsOnlyAtTheNextDraw)
{
    WithButton("SHIFT-DR", MARKER_FACE, [&](CColorButton& button, CCanvas& canvas) {
        canvas.Draw(button, ODA_DRAWENTIRE, 0);
        const RECT inside = FrameInside();
        button.m_crFace = MARKER_DISABLED;
        EXPECT_EQ(MARKER_FACE, canvas.Pixel(inside.left, inside.top));
        canvas.Draw(button, ODA_DRAWENTIRE, 0);
        EXPECT_EQ(MARKER_DISABLED, canvas.Pixel(inside.left, inside.top));
    });
}
