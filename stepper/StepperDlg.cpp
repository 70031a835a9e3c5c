#include "StepperDlg.h"

#include <commdlg.h>

#include <cstdio>
#include <iterator>
#include <utility>

#include "../controls/LogFont.h"
#include "../menu/WindowMenu.h"
#include "../platform/codepage.h"
#include "../platform/files.h"
#include "../platform/dpi.h"
#include "../svf/SvfWriter.h"
#include "../res/texts.h"

namespace {

// "32'h14D5654B" fits the value display's 50 dialog units in Arial of this size.
const int VALUE_FONT_PIXELS = 11;

} // namespace

void (*CStepperDlg::s_pfnShowAbout)(const std::string& strCable) = nullptr;

const AFX_MSGMAP_ENTRY CStepperDlg::s_messageEntries[] = {
    MessageEntry<&CStepperDlg::OnSysCommand>(WM_SYSCOMMAND),
    MessageEntry<&CStepperDlg::OnContextMenu>(WM_CONTEXTMENU),
    MessageEntry<&CStepperDlg::OnPaint>(WM_PAINT),
    MessageEntry<&CStepperDlg::OnQueryDragIcon>(WM_QUERYDRAGICON),
    MessageEntry<&CStepperDlg::OnClose>(WM_CLOSE),
    MessageEntry<&CStepperDlg::OnDestroy>(WM_DESTROY),
    CommandEntry<&CStepperDlg::OnTestLogicReset>(BN_CLICKED, IDC_TEST_LOGIC_RESET),
    CommandRangeEntry<&CStepperDlg::OnStateButton>(BN_CLICKED, IDC_RUN_TEST_IDLE, IDC_UPDATE_IR),
    CommandRangeEntry<&CStepperDlg::OnStateButton>(BN_CLICKED, IDC_SHIFT_DR_1, IDC_EXIT1_IR_1),
    CommandEntry<&CStepperDlg::OnSendDr>(BN_CLICKED, IDC_SEND_DR),
    CommandEntry<&CStepperDlg::OnSendIr>(BN_CLICKED, IDC_SEND_IR),
    CommandRangeEntry<&CStepperDlg::OnValueEdited>(CBN_EDITCHANGE, IDC_DR_VALUE, IDC_IR_VALUE),
    CommandRangeEntry<&CStepperDlg::OnValuePicked>(CBN_SELCHANGE, IDC_DR_VALUE, IDC_IR_VALUE),
    CommandEntry<&CStepperDlg::OnCableListDropped>(CBN_DROPDOWN, IDC_DEVICE),
    CommandEntry<&CStepperDlg::OnCableListClosed>(CBN_CLOSEUP, IDC_DEVICE),
    MessageEntry<&CStepperDlg::OnCablePicked>(WM_CABLE_PICKED),
    CommandEntry<&CStepperDlg::OnTck>(BN_CLICKED, IDC_TCK),
    CommandEntry<&CStepperDlg::OnTms>(BN_CLICKED, IDC_TMS),
    CommandEntry<&CStepperDlg::OnTdi>(BN_CLICKED, IDC_TDI),
    CommandEntry<&CStepperDlg::OnTdo>(BN_CLICKED, IDC_TDO),
    // An owner-drawn button says a quick second click as a double click: it is a click as any
    // other, a clock each (the buttons that stay enabled after their own step get them).
    CommandEntry<&CStepperDlg::OnTestLogicReset>(BN_DOUBLECLICKED, IDC_TEST_LOGIC_RESET),
    CommandRangeEntry<&CStepperDlg::OnStateButton>(BN_DOUBLECLICKED, IDC_RUN_TEST_IDLE, IDC_UPDATE_IR),
    CommandRangeEntry<&CStepperDlg::OnStateButton>(BN_DOUBLECLICKED, IDC_SHIFT_DR_1, IDC_EXIT1_IR_1),
    MessageEntry<&CStepperDlg::OnCtlColor>(WM_CTLCOLOR),
    MessageEntry<&CStepperDlg::OnDpiChanged>(WM_DPICHANGED),
};

const AFX_MSGMAP CStepperDlg::s_messageMap = {&CDialog::s_messageMap, s_messageEntries,
                                              std::size(s_messageEntries)};

CStepperDlg::CStepperDlg(CWnd* pParent) : CDialog(IDD, pParent)
{
    m_hIcon = ::LoadIconA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME));
    m_tap.AddListener(this);
}

namespace {

const char SVF_FILTER[] = "Serial Vector Format (*.svf)\0*.svf\0All files (*.*)\0*.*\0";

// Asks for a file: to save (offered "morva-DATE-TIME.EXT", replacing one asked about first) or to
// open (one that is there). False where the person cancelled.
bool AskForFile(HWND hOwner, bool bSave, const char* pszFilter, const char* pszExtension, std::string& strPath)
{
    char file[MAX_PATH] = "";
    if (bSave)
    {
        SYSTEMTIME now;
        ::GetLocalTime(&now);
        snprintf(file, sizeof(file), "morva-%04u%02u%02u-%02u%02u%02u.%s", now.wYear, now.wMonth, now.wDay, now.wHour,
                 now.wMinute, now.wSecond, pszExtension);
    }
    OPENFILENAMEA ofn = {};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = hOwner;
    ofn.lpstrFilter = pszFilter;
    ofn.lpstrFile = file;
    ofn.nMaxFile = sizeof(file);
    ofn.lpstrDefExt = bSave ? pszExtension : nullptr;
    ofn.Flags = (bSave ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST) | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    if (!AskForFileName(ofn, bSave))
        return false;
    strPath = file;
    return true;
}

} // namespace

void CStepperDlg::OnSaveTrace()
{
    std::string strPath, strError;
    if (AskForFile(m_hWnd, true, "Waveform (*.vcd)\0*.vcd\0All files (*.*)\0*.*\0", "vcd", strPath) &&
        !SaveVcd(m_tap.Session(), m_tap.SessionDate(), strPath, strError))
        MessageBoxCp932(m_hWnd, strError.c_str(), ErrorCaption().c_str(), MB_ICONHAND);
}

void CStepperDlg::OnSaveSvf()
{
    std::string strPath;
    if (!AskForFile(m_hWnd, true, SVF_FILTER, "svf", strPath))
        return;
    std::string strError;
    if (!SaveSvf(m_tap.Session(), m_tap.SessionDate(), SvfPaddingOf(m_send.Address()), strPath, strError))
        MessageBoxCp932(m_hWnd, strError.c_str(), ErrorCaption().c_str(), MB_ICONHAND);
}

void CStepperDlg::OnPlaySvf()
{
    std::string strPath, strError;
    if (AskForFile(m_hWnd, false, SVF_FILTER, "svf", strPath) && !m_svf.OpenBeside(*this, strPath, strError))
        MessageBoxCp932(m_hWnd, strError.c_str(), ErrorCaption().c_str(), MB_ICONHAND);
}

void CStepperDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_VALUE_EDIT, m_editValue);
    m_send.Exchange(pDX);
    DDX_Control(pDX, IDC_HISTORY, m_listHistory);
    DDX_Control(pDX, IDC_TITLE, m_stTitle);
    m_trace.Exchange(pDX);
    m_panel.Exchange(pDX);
    m_pins.Exchange(pDX);
}

void CStepperDlg::OnSendDr()
{
    m_send.OnSendClicked(TAP_DR);
}

void CStepperDlg::OnSendIr()
{
    m_send.OnSendClicked(TAP_IR);
}

LRESULT CStepperDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    // Enter arrives as IDOK with notification 0; it must never close the window. In a value
    // list's edit field it presses that list's SEND, and the focus goes to its button: the keys
    // step again, where the field would take them as text.
    if (message == WM_COMMAND && wParam == IDOK)
    {
        bool bDr = false;
        if (m_send.IsValueField(::GetFocus(), bDr))
        {
            m_send.Send(bDr ? TAP_DR : TAP_IR);
            if (::IsWindow(m_hWnd) != FALSE && ::IsChild(m_hWnd, ::GetFocus()) != FALSE)
            {
                const CWnd& button = m_send.SendButton(bDr ? TAP_DR : TAP_IR);
                const HWND hNext = button.IsWindowEnabled() ? button.m_hWnd : m_panel.ResetButton().m_hWnd;
                SendMessage(WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(hNext), TRUE);
            }
        }
        return 0;
    }
    // Escape while a SEND or an SVF run goes on stops it, and nothing more: the session stays.
    // The close box (or Alt+F4) stops a SEND where the TAP can be left, then closes.
    if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL)
    {
        const bool bClosing = m_bClosing;
        m_bClosing = false;
        if (m_send.IsSending())
        {
            if (bClosing)
                m_send.StopAndClose();
            else
                m_send.Stop();
            return 0;
        }
        if (m_svf.IsRunning() && !bClosing)
        {
            m_svf.StopRunning();
            return 0;
        }
    }
    return CDialog::WindowProc(message, wParam, lParam);
}

BOOL CStepperDlg::OnInitDialog()
{
    CDialog::OnInitDialog();

    CMenu systemMenu = GetSystemMenu(FALSE);
    if (systemMenu.m_hMenu != nullptr)
        CWindowMenu::AppendCommands(systemMenu, true);

    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));

    m_nDpi = WindowDpi(m_hWnd);
    SetTitleFont();

    m_tap.Switch(true);
    m_pins.Show();
    m_cables.Show();

    ShowUnknownState();

    m_trace.Init(m_nDpi);
    RefreshTrace();

    SetValueFont();
    m_valueTip.Create(m_hWnd, m_editValue.m_hWnd);
    m_send.Load(m_strSettingsPath);

    const COLORREF crDisabledFace = ::GetSysColor(COLOR_BTNSHADOW);
    m_panel.SetDisabledFace(crDisabledFace);
    m_send.SetDisabledFace(crDisabledFace);

    return TRUE;
}

void CStepperDlg::OnSysCommand(UINT nID, LPARAM)
{
    if ((nID & 0xFFF0) == IDM_ABOUTBOX)
    {
        if (s_pfnShowAbout != nullptr)
            s_pfnShowAbout(m_tap.Cable().Description());
        return;
    }
    if ((nID & 0xFFF0) == IDM_SAVETRACE)
    {
        OnSaveTrace();
        return;
    }
    if ((nID & 0xFFF0) == IDM_SAVESVF)
    {
        OnSaveSvf();
        return;
    }
    if ((nID & 0xFFF0) == IDM_PLAYSVF)
    {
        OnPlaySvf();
        return;
    }
    if ((nID & 0xFFF0) == IDM_PULSESRST)
    {
        OnPulseSrst();
        return;
    }
    if ((nID & 0xFFF0) == IDM_SCANCHAIN)
    {
        CPaintHold::CScope hold(m_paint);
        m_chain.SetCable(m_cables.InUseName());
        m_chain.ScanBeside(*this);
        return;
    }
    Default();
}

void CStepperDlg::OnContextMenu(UINT, LPARAM lParam)
{
    const UINT nCommand = CWindowMenu::TrackContextMenu(*this, lParam);
    if (nCommand != 0)
        OnSysCommand(nCommand, 0);
}

void CStepperDlg::OnPaint()
{
    if (!::IsIconic(m_hWnd))
    {
        Default();
        return;
    }
    CPaintDC dc(this);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.m_hDC), 0);
    RECT rect;
    GetClientRect(&rect);
    const int x = (rect.right - rect.left - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (rect.bottom - rect.top - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
    dc.DrawIcon(x, y, m_hIcon);
}

HCURSOR CStepperDlg::OnQueryDragIcon()
{
    return reinterpret_cast<HCURSOR>(m_hIcon);
}

void CStepperDlg::OnClose()
{
    // The dialog answers the close box with IDCANCEL, as Escape: this tells the two apart.
    m_bClosing = true;
    Default();
}

void CStepperDlg::OnDestroy()
{
    Default();
    m_fontTitle.DeleteObject();
    m_fontValue.DeleteObject();
    m_trace.ReleaseFonts();
    if (m_hScaledIcon != nullptr)
        ::DestroyIcon(m_hScaledIcon);
    // The cable goes off last, after everything else of the window is gone.
    m_tap.Switch(false);
}

// The title in heavy Arial, as high as its label allows and no wider.
void CStepperDlg::SetTitleFont()
{
    RECT rcTitle;
    m_stTitle.GetClientRect(&rcTitle);
    CString title;
    m_stTitle.GetWindowText(title);
    LOGFONTA lf = LogFontOf("Arial", (rcTitle.bottom - rcTitle.top) - 2, 0, 900, 0x42);
    // A font's width does not grow in step with its height: at a higher DPI the title may come
    // out wider than its label, which grew with the dialog font.
    for (;;)
    {
        CFont fresh;
        fresh.CreateFontIndirect(&lf);
        ReplaceFont(m_stTitle, m_fontTitle, fresh);
        CClientDC dc(&m_stTitle);
        const HFONT hOldFont = dc.SelectObject(&m_fontTitle);
        SIZE extent = {};
        ::GetTextExtentPoint32A(dc.m_hDC, title, title.GetLength(), &extent);
        // What is inked: the blank before the first glyph and after the last may overhang.
        ABC first = {}, last = {};
        const LPCSTR pszTitle = title;
        const UINT nFirst = static_cast<BYTE>(pszTitle[0]);
        const UINT nLast = static_cast<BYTE>(pszTitle[title.IsEmpty() ? 0 : title.GetLength() - 1]);
        if (title.IsEmpty() || ::GetCharABCWidthsA(dc.m_hDC, nFirst, nFirst, &first) == FALSE ||
            ::GetCharABCWidthsA(dc.m_hDC, nLast, nLast, &last) == FALSE)
            first.abcA = last.abcC = 0;
        dc.SelectObject(hOldFont);
        // Ink one pixel wider than the label loses only the edges of its outermost strokes' shading.
        if (extent.cx - first.abcA - last.abcC <= rcTitle.right - rcTitle.left + 1 || lf.lfHeight <= 8)
            break;
        --lf.lfHeight;
    }
}

// Narrow enough for "32'h14D5654B" in the display's width.
void CStepperDlg::SetValueFont()
{
    LOGFONTA lfValue = {};
    lfValue.lfHeight = -ScaleToDpi(VALUE_FONT_PIXELS, m_nDpi);
    lfValue.lfWeight = FW_NORMAL;
    lfValue.lfCharSet = ANSI_CHARSET;
    lfValue.lfPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
    lstrcpyA(lfValue.lfFaceName, "Arial");
    CFont fresh;
    fresh.CreateFontIndirect(&lfValue);
    ReplaceFont(m_editValue, m_fontValue, fresh);
}

// The window moved to a monitor of another DPI (Windows 10 and later). The dialog manager has
// scaled the controls and the dialog font; the fonts of the program's own choosing follow here.
void CStepperDlg::OnDpiChanged(UINT nDpis, LPARAM lParam)
{
    Default();
    const RECT* pSuggested = reinterpret_cast<const RECT*>(lParam);
    if (pSuggested != nullptr)
        ::SetWindowPos(m_hWnd, nullptr, pSuggested->left, pSuggested->top, pSuggested->right - pSuggested->left,
                       pSuggested->bottom - pSuggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
    m_nDpi = HIWORD(nDpis);
    SetTitleFont();
    SetValueFont();
    m_trace.SetDpi(m_nDpi);
    const int nIcon = ScaleToDpi(32, m_nDpi);
    const HICON hIcon = static_cast<HICON>(::LoadImageA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME),
                                                        IMAGE_ICON, nIcon, nIcon, 0));
    if (hIcon != nullptr)
    {
        // The one icon loaded at the start is shared and stays; one loaded for a DPI goes with the next.
        SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(hIcon));
        SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(hIcon));
        if (m_hScaledIcon != nullptr)
            ::DestroyIcon(m_hScaledIcon);
        m_hScaledIcon = hIcon;
        m_hIcon = hIcon;
    }
    RefreshTrace();
}

HBRUSH CStepperDlg::OnCtlColor(CDC*, CWnd*, UINT)
{
    return reinterpret_cast<HBRUSH>(Default());
}
