#include "wnd.h"

#include "app.h"
#include "codepage.h"
#include "language.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <vector>

namespace {

const char WND_PROPERTY[] = "MORVA.CWnd";

// Resource type of a dialog's initialisation data: entries of control ID, message, length, data.
const WORD RT_DLGINIT_DATA = 240;
// The list-filling messages as that data names them (their 16-bit numbers).
const WORD DLGINIT_LB_ADDSTRING = 0x0401;
const WORD DLGINIT_CB_ADDSTRING = 0x0403;

} // namespace

LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CWnd* pWnd = CWnd::FromHandlePermanent(hWnd);
    if (pWnd == nullptr)
        return ::DefWindowProcA(hWnd, message, wParam, lParam);

    const MSG saved = pWnd->m_msgCur;
    pWnd->m_msgCur.hwnd = hWnd;
    pWnd->m_msgCur.message = message;
    pWnd->m_msgCur.wParam = wParam;
    pWnd->m_msgCur.lParam = lParam;
    const LRESULT lResult = pWnd->WindowProc(message, wParam, lParam);
    pWnd->m_msgCur = saved;

    if (message == WM_NCDESTROY)
    {
        pWnd->Detach();
        pWnd->m_pfnSuper = nullptr;
    }
    return lResult;
}

CWnd::~CWnd()
{
    if (m_hWnd != nullptr)
    {
        if (m_pfnSuper != nullptr)
        {
            if (m_bUnicode)
                ::SetWindowLongPtrW(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
            else
                ::SetWindowLongPtrA(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
        }
        Detach();
    }
}

CWnd* CWnd::FromHandlePermanent(HWND hWnd)
{
    if (hWnd == nullptr)
        return nullptr;
    return static_cast<CWnd*>(::GetPropA(hWnd, WND_PROPERTY));
}

BOOL CWnd::Attach(HWND hWnd)
{
    if (hWnd == nullptr || m_hWnd != nullptr)
        return FALSE;
    m_hWnd = hWnd;
    m_bUnicode = ::IsWindowUnicode(hWnd) != FALSE;
    ::SetPropA(hWnd, WND_PROPERTY, this);
    return TRUE;
}

HWND CWnd::Detach()
{
    HWND hWnd = m_hWnd;
    if (hWnd != nullptr)
        ::RemovePropA(hWnd, WND_PROPERTY);
    m_hWnd = nullptr;
    return hWnd;
}

BOOL CWnd::SubclassWindow(HWND hWnd)
{
    if (!Attach(hWnd))
        return FALSE;
    PreSubclassWindow();
    const LONG_PTR newProc = reinterpret_cast<LONG_PTR>(&AfxWndProc);
    const LONG_PTR oldProc = m_bUnicode ? ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, newProc)
                                        : ::SetWindowLongPtrA(hWnd, GWLP_WNDPROC, newProc);
    m_pfnSuper = reinterpret_cast<WNDPROC>(oldProc);
    return TRUE;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT lResult = 0;
    if (!OnWndMsg(message, wParam, lParam, &lResult))
        lResult = DefWindowProc(message, wParam, lParam);
    return lResult;
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (m_pfnSuper != nullptr)
    {
        return m_bUnicode ? ::CallWindowProcW(m_pfnSuper, m_hWnd, message, wParam, lParam)
                          : ::CallWindowProcA(m_pfnSuper, m_hWnd, message, wParam, lParam);
    }
    return m_bUnicode ? ::DefWindowProcW(m_hWnd, message, wParam, lParam)
                      : ::DefWindowProcA(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::Default()
{
    return DefWindowProc(m_msgCur.message, m_msgCur.wParam, m_msgCur.lParam);
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) const
{
    return ::SendMessageA(m_hWnd, message, wParam, lParam);
}

void CWnd::GetWindowText(CString& rString) const
{
    const int nLength = ::GetWindowTextLengthA(m_hWnd);
    std::vector<char> buffer(static_cast<size_t>(nLength) + 1, '\0');
    ::GetWindowTextA(m_hWnd, buffer.data(), nLength + 1);
    rString = CString(buffer.data());
}

void CComboBox::GetLBText(int nIndex, CString& rString) const
{
    const LRESULT nLength = SendMessage(CB_GETLBTEXTLEN, static_cast<WPARAM>(nIndex));
    if (nLength == CB_ERR)
    {
        rString = CString("");
        return;
    }
    std::vector<char> buffer(static_cast<size_t>(nLength) + 1, '\0');
    SendMessage(CB_GETLBTEXT, static_cast<WPARAM>(nIndex), reinterpret_cast<LPARAM>(buffer.data()));
    rString = CString(buffer.data());
}

BOOL CWnd::ModifyStyle(DWORD dwRemove, DWORD dwAdd, UINT nFlags)
{
    const DWORD dwStyle = GetStyle();
    const DWORD dwNewStyle = (dwStyle & ~dwRemove) | dwAdd;
    if (dwStyle == dwNewStyle)
        return FALSE;
    ::SetWindowLongA(m_hWnd, GWL_STYLE, static_cast<LONG>(dwNewStyle));
    if (nFlags != 0)
    {
        ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                       SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | nFlags);
    }
    return TRUE;
}

BOOL CWnd::RedrawWindow(LPCRECT lpRectUpdate, HRGN hrgnUpdate, UINT flags)
{
    return ::RedrawWindow(m_hWnd, lpRectUpdate, hrgnUpdate, flags);
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    if (message == WM_COMMAND)
    {
        if (!OnCommand(wParam, lParam))
            return FALSE;
        *pResult = 0;
        return TRUE;
    }
    if (message == WM_DRAWITEM)
    {
        const DRAWITEMSTRUCT* pDis = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        CWnd* pChild = FromHandlePermanent(pDis->hwndItem);
        if (pChild != nullptr && pChild->OnChildNotify(message, wParam, lParam, pResult))
            return TRUE;
    }
    const UINT nKey =
        message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC ? WM_CTLCOLOR : message;
    const AFX_MSGMAP_ENTRY* pEntry = FindEntry(nKey, 0, 0);
    if (pEntry == nullptr)
        return FALSE;
    *pResult = pEntry->pfnDispatch(this, message, wParam, lParam);
    return TRUE;
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM lParam)
{
    const UINT nID = LOWORD(wParam);
    const UINT nCode = HIWORD(wParam);
    if (OnCmdMsg(nID, nCode, wParam, lParam))
        return TRUE;
    // What no window takes goes to the application.
    CWinApp* pApp = AfxGetApp();
    return pApp != nullptr && pApp->OnCmdMsg(nID, nCode, wParam, lParam);
}

BOOL CWnd::OnChildNotify(UINT, WPARAM, LPARAM, LRESULT*)
{
    return FALSE;
}

BOOL CCmdTarget::OnCmdMsg(UINT nID, UINT nCode, WPARAM wParam, LPARAM lParam)
{
    const AFX_MSGMAP_ENTRY* pEntry = FindEntry(WM_COMMAND, nCode, nID);
    if (pEntry == nullptr)
        return FALSE;
    pEntry->pfnDispatch(this, WM_COMMAND, wParam, lParam);
    return TRUE;
}

const AFX_MSGMAP_ENTRY* CCmdTarget::FindEntry(UINT message, UINT nCode, UINT nID) const
{
    for (const AFX_MSGMAP* pMap = GetMessageMap(); pMap != nullptr; pMap = pMap->pBaseMap)
    {
        for (size_t i = 0; i < pMap->nEntries; ++i)
        {
            const AFX_MSGMAP_ENTRY& entry = pMap->pEntries[i];
            if (entry.nMessage != message)
                continue;
            if (message != WM_COMMAND)
                return &entry;
            if (entry.nCode == nCode && nID >= entry.nID && nID <= entry.nLastID)
                return &entry;
        }
    }
    return nullptr;
}

BOOL CMenu::CreatePopupMenu()
{
    m_hMenu = ::CreatePopupMenu();
    return m_hMenu != nullptr;
}

BOOL CMenu::DestroyMenu()
{
    const BOOL bDone = m_hMenu != nullptr && ::DestroyMenu(m_hMenu) != FALSE;
    m_hMenu = nullptr;
    return bDone;
}

BOOL CMenu::TrackPopupMenu(UINT nFlags, int x, int y, CWnd* pWnd)
{
    return ::TrackPopupMenu(m_hMenu, nFlags, x, y, 0, pWnd->m_hWnd, nullptr);
}

BOOL CMenu::AppendMenu(UINT nFlags, UINT_PTR nIDNewItem, LPCSTR lpszNewItem)
{
    const bool bText = (nFlags & (MF_SEPARATOR | MF_BITMAP | MF_OWNERDRAW)) == 0 && lpszNewItem != nullptr;
    if (!bText || !UsesWideWindows())
        return ::AppendMenuA(m_hMenu, nFlags, nIDNewItem, lpszNewItem);
    return ::AppendMenuW(m_hMenu, nFlags, nIDNewItem, WideFromCodePage932(lpszNewItem).c_str());
}

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl)
{
    if (rControl.m_hWnd != nullptr)
        return;
    rControl.SubclassWindow(::GetDlgItem(pDX->m_pDlgWnd->m_hWnd, nIDC));
}

// CDialog

const AFX_MSGMAP_ENTRY CDialog::s_messageEntries[] = {
    CommandEntry<&CDialog::OnOK>(BN_CLICKED, IDOK),
    CommandEntry<&CDialog::OnCancel>(BN_CLICKED, IDCANCEL),
};

const AFX_MSGMAP CDialog::s_messageMap = {nullptr, s_messageEntries, std::size(s_messageEntries)};

INT_PTR CALLBACK AfxDlgProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_INITDIALOG)
        return FALSE;
    // From here on the dialog's messages reach its object; the dialog manager's own procedure
    // stays underneath as the default.
    CDialog* pDlg = reinterpret_cast<CDialog*>(lParam);
    pDlg->SubclassWindow(hWnd);
    return static_cast<INT_PTR>(pDlg->WindowProc(message, wParam, lParam));
}

namespace {

// The dialogs whose modal loops run now, the innermost last, and the hook that shows them their
// messages first: the dialog manager's loop is the system's, so a filter is the way in.
std::vector<CDialog*> g_modalDialogs;
HHOOK g_hMessageFilter = nullptr;
// The modeless dialogs there are; the modal loop gives them their dialog keys.
std::vector<HWND> g_modelessDialogs;

bool IsFor(HWND hDialog, const MSG& msg)
{
    return msg.hwnd == hDialog || ::IsChild(hDialog, msg.hwnd) != FALSE;
}

LRESULT CALLBACK MessageFilter(int nCode, WPARAM wParam, LPARAM lParam)
{
    MSG* pMsg = reinterpret_cast<MSG*>(lParam);
    for (HWND hDialog : g_modelessDialogs)
    {
        if (nCode != MSGF_DIALOGBOX || !IsFor(hDialog, *pMsg))
            continue;
        const BOOL bTaken =
            ::IsWindowUnicode(hDialog) != FALSE ? ::IsDialogMessageW(hDialog, pMsg) : ::IsDialogMessageA(hDialog, pMsg);
        if (bTaken != FALSE)
            return 1;
    }
    if (nCode == MSGF_DIALOGBOX && !g_modalDialogs.empty())
    {
        CDialog* pDialog = g_modalDialogs.back();
        if (pDialog->m_hWnd != nullptr &&
            IsFor(pDialog->m_hWnd, *pMsg) &&
            pDialog->PreTranslateMessage(pMsg) != FALSE)
            return 1;
    }
    return ::CallNextHookEx(g_hMessageFilter, nCode, wParam, lParam);
}

// For the life of a modal loop.
class CModalScope
{
public:
    explicit CModalScope(CDialog* pDialog)
    {
        if (g_modalDialogs.empty())
            g_hMessageFilter = ::SetWindowsHookExA(WH_MSGFILTER, &MessageFilter, nullptr, ::GetCurrentThreadId());
        g_modalDialogs.push_back(pDialog);
    }
    ~CModalScope()
    {
        g_modalDialogs.pop_back();
        if (g_modalDialogs.empty() && g_hMessageFilter != nullptr)
        {
            ::UnhookWindowsHookEx(g_hMessageFilter);
            g_hMessageFilter = nullptr;
        }
    }
    CModalScope(const CModalScope&) = delete;
    CModalScope& operator=(const CModalScope&) = delete;
};

} // namespace

INT_PTR CDialog::DoModal()
{
    // Without a parent of its own, a dialog other than the main window belongs to the main window.
    CWnd* pParent = m_pParentWnd;
    CWinApp* pApp = AfxGetApp();
    if (pParent == nullptr && pApp != nullptr && pApp->m_pMainWnd != this)
        pParent = pApp->m_pMainWnd;
    HWND hParent = pParent != nullptr ? pParent->m_hWnd : nullptr;
    HINSTANCE hInstance = ::GetModuleHandleA(nullptr);
    const LPARAM lParam = reinterpret_cast<LPARAM>(this);
    // The template in the program's language. Made through the wide-character call on the NT
    // family, so that its texts keep their Unicode form.
    LPCDLGTEMPLATE pTemplate = FindDialogTemplate(m_nIDTemplate);
    if (pTemplate == nullptr)
        return -1;
    CModalScope modal(this);
    if (UsesWideWindows())
        return ::DialogBoxIndirectParamW(hInstance, pTemplate, hParent, &AfxDlgProc, lParam);
    return ::DialogBoxIndirectParamA(hInstance, pTemplate, hParent, &AfxDlgProc, lParam);
}

BOOL CDialog::Create(CWnd* pParentWnd)
{
    m_pParentWnd = pParentWnd;
    HWND hParent = pParentWnd != nullptr ? pParentWnd->m_hWnd : nullptr;
    HINSTANCE hInstance = ::GetModuleHandleA(nullptr);
    const LPARAM lParam = reinterpret_cast<LPARAM>(this);
    LPCDLGTEMPLATE pTemplate = FindDialogTemplate(m_nIDTemplate);
    if (pTemplate == nullptr)
        return FALSE;
    const HWND hDialog = UsesWideWindows()
                             ? ::CreateDialogIndirectParamW(hInstance, pTemplate, hParent, &AfxDlgProc, lParam)
                             : ::CreateDialogIndirectParamA(hInstance, pTemplate, hParent, &AfxDlgProc, lParam);
    if (hDialog == nullptr)
        return FALSE;
    g_modelessDialogs.push_back(hDialog);
    return TRUE;
}

BOOL CDialog::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    if (message == WM_INITDIALOG)
    {
        *pResult = OnInitDialog();
        return TRUE;
    }
    if (message == WM_NCDESTROY)
        g_modelessDialogs.erase(std::remove(g_modelessDialogs.begin(), g_modelessDialogs.end(), m_hWnd),
                                g_modelessDialogs.end());
    return CWnd::OnWndMsg(message, wParam, lParam, pResult);
}

BOOL CDialog::OnInitDialog()
{
    ExecuteDlgInit();
    UpdateData(FALSE);
    return TRUE;
}

BOOL CDialog::UpdateData(BOOL bSaveAndValidate)
{
    CDataExchange dx(this, bSaveAndValidate);
    DoDataExchange(&dx);
    return TRUE;
}

void CDialog::ExecuteDlgInit()
{
    HMODULE hModule = ::GetModuleHandleA(nullptr);
    HRSRC hResource =
        ::FindResourceA(hModule, MAKEINTRESOURCEA(m_nIDTemplate), MAKEINTRESOURCEA(RT_DLGINIT_DATA));
    if (hResource == nullptr)
        return;
    const BYTE* p = static_cast<const BYTE*>(::LockResource(::LoadResource(hModule, hResource)));
    const BYTE* pEnd = p + ::SizeofResource(hModule, hResource);
    if (p == nullptr)
        return;
    // Each entry: WORD control ID (0 ends the list), WORD message, DWORD length, the text.
    while (pEnd - p >= 8)
    {
        WORD nIDC, nMsg;
        DWORD nLength;
        memcpy(&nIDC, p, sizeof(nIDC));
        if (nIDC == 0)
            break;
        memcpy(&nMsg, p + 2, sizeof(nMsg));
        memcpy(&nLength, p + 4, sizeof(nLength));
        p += 8;
        if (nLength > static_cast<DWORD>(pEnd - p))
            break;
        // The text is kept as stored; it must end within its entry.
        const char* pszText = reinterpret_cast<const char*>(p);
        const bool bTerminated = nLength > 0 && memchr(pszText, '\0', nLength) != nullptr;
        const UINT nAddMessage = nMsg == DLGINIT_CB_ADDSTRING   ? CB_ADDSTRING
                                 : nMsg == DLGINIT_LB_ADDSTRING ? LB_ADDSTRING
                                                                : 0;
        if (bTerminated && nAddMessage != 0 && UsesWideWindows())
        {
            const CWideText text = WideFromCodePage932(pszText);
            ::SendDlgItemMessageW(m_hWnd, nIDC, nAddMessage, 0, reinterpret_cast<LPARAM>(text.c_str()));
        }
        else if (bTerminated && nAddMessage != 0)
        {
            ::SendDlgItemMessageA(m_hWnd, nIDC, nAddMessage, 0, reinterpret_cast<LPARAM>(pszText));
        }
        p += nLength;
    }
}

// CButton

BOOL CButton::OnChildNotify(UINT message, WPARAM, LPARAM lParam, LRESULT* pResult)
{
    if (message != WM_DRAWITEM)
        return FALSE;
    DrawItem(reinterpret_cast<LPDRAWITEMSTRUCT>(lParam));
    *pResult = TRUE;
    return TRUE;
}

void CComboBox::FitDroppedWidth()
{
    HDC hdc = ::GetDC(m_hWnd);
    HGDIOBJ hOld = ::SelectObject(hdc, reinterpret_cast<HGDIOBJ>(SendMessage(WM_GETFONT)));
    LONG nWidest = 0;
    const int nCount = GetCount();
    for (int i = 0; i < nCount; ++i)
    {
        const LRESULT nLength = SendMessage(CB_GETLBTEXTLEN, static_cast<WPARAM>(i));
        if (nLength <= 0)
            continue;
        std::vector<char> text(static_cast<size_t>(nLength) + 1);
        SendMessage(CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text.data()));
        SIZE size = {};
        ::GetTextExtentPoint32A(hdc, text.data(), static_cast<int>(nLength), &size);
        nWidest = size.cx > nWidest ? size.cx : nWidest;
    }
    ::SelectObject(hdc, hOld);
    ::ReleaseDC(m_hWnd, hdc);
    RECT rect = {};
    ::GetWindowRect(m_hWnd, &rect);
    // The entry's margins, the list's frame and a scroll bar where the list is long.
    const LONG nWidth = nWidest + 4 * ::GetSystemMetrics(SM_CXEDGE) + ::GetSystemMetrics(SM_CXVSCROLL) + 8;
    SendMessage(CB_SETDROPPEDWIDTH, static_cast<WPARAM>(nWidth > rect.right - rect.left ? nWidth : rect.right - rect.left));
}
