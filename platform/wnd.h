// Windows, dialogs and controls in the framework's shape: a CWnd object per window, handlers
// found through static message maps, controls bound to member objects with DDX_Control.
#pragma once

#include <windows.h>

#include <cstddef>

#include "cstring.h"
#include "gdi.h"

class CCmdTarget;
class CWnd;

// The message-map key of the control-colour handler, for all of WM_CTLCOLORMSGBOX..STATIC.
// (Wine's headers already define it.)
#ifndef WM_CTLCOLOR
#define WM_CTLCOLOR 0x0019
#endif

typedef LRESULT (*AFX_DISPATCH)(CCmdTarget* pTarget, UINT nMessage, WPARAM wParam, LPARAM lParam);

// One handler: a window message, or a WM_COMMAND notification code from a range of control IDs.
struct AFX_MSGMAP_ENTRY
{
    UINT nMessage;
    UINT nCode;
    UINT nID;
    UINT nLastID;
    AFX_DISPATCH pfnDispatch;
};

struct AFX_MSGMAP
{
    const AFX_MSGMAP* pBaseMap;
    const AFX_MSGMAP_ENTRY* pEntries;
    size_t nEntries;
};

// Anything with a message map: windows, and the application for the commands no window takes.
class CCmdTarget
{
public:
    virtual ~CCmdTarget() {}

    // Runs the handler of a WM_COMMAND notification; FALSE when the map has none.
    BOOL OnCmdMsg(UINT nID, UINT nCode, WPARAM wParam, LPARAM lParam);

protected:
    virtual const AFX_MSGMAP* GetMessageMap() const { return nullptr; }
    const AFX_MSGMAP_ENTRY* FindEntry(UINT message, UINT nCode, UINT nID) const;
};

// Handler signatures the maps accept, each turned into a call with the message's arguments.
template <class T>
LRESULT AfxInvoke(void (T::*pfn)(), CCmdTarget* pTarget, UINT, WPARAM, LPARAM)
{
    (static_cast<T*>(pTarget)->*pfn)();
    return 0;
}

template <class T>
LRESULT AfxInvoke(void (T::*pfn)(UINT), CCmdTarget* pTarget, UINT, WPARAM wParam, LPARAM)
{
    (static_cast<T*>(pTarget)->*pfn)(LOWORD(wParam));
    return 0;
}

template <class T>
LRESULT AfxInvoke(void (T::*pfn)(UINT, LPARAM), CCmdTarget* pTarget, UINT, WPARAM wParam, LPARAM lParam)
{
    (static_cast<T*>(pTarget)->*pfn)(static_cast<UINT>(wParam), lParam);
    return 0;
}

template <class T>
LRESULT AfxInvoke(HCURSOR (T::*pfn)(), CCmdTarget* pTarget, UINT, WPARAM, LPARAM)
{
    return reinterpret_cast<LRESULT>((static_cast<T*>(pTarget)->*pfn)());
}

template <class T>
LRESULT AfxInvoke(HBRUSH (T::*pfn)(CDC*, CWnd*, UINT), CCmdTarget* pTarget, UINT nMessage, WPARAM wParam,
                  LPARAM lParam);

template <auto pfn>
LRESULT AfxDispatch(CCmdTarget* pTarget, UINT nMessage, WPARAM wParam, LPARAM lParam)
{
    return AfxInvoke(pfn, pTarget, nMessage, wParam, lParam);
}

template <auto pfn>
constexpr AFX_MSGMAP_ENTRY MessageEntry(UINT nMessage)
{
    return {nMessage, 0, 0, 0, &AfxDispatch<pfn>};
}

template <auto pfn>
constexpr AFX_MSGMAP_ENTRY CommandEntry(UINT nCode, UINT nID)
{
    return {WM_COMMAND, nCode, nID, nID, &AfxDispatch<pfn>};
}

// The handler receives the ID of the control that sent the notification.
template <auto pfn>
constexpr AFX_MSGMAP_ENTRY CommandRangeEntry(UINT nCode, UINT nID, UINT nLastID)
{
    return {WM_COMMAND, nCode, nID, nLastID, &AfxDispatch<pfn>};
}

// A menu: a window's system menu, which the program does not own, or a popup menu it makes
// (CreatePopupMenu) and destroys (DestroyMenu).
class CMenu
{
public:
    explicit CMenu(HMENU hMenu = nullptr) : m_hMenu(hMenu) {}

    BOOL CreatePopupMenu();
    BOOL DestroyMenu();
    // Texts are in code page 932.
    BOOL AppendMenu(UINT nFlags, UINT_PTR nIDNewItem = 0, LPCSTR lpszNewItem = nullptr);
    // With TPM_RETURNCMD: the command chosen, or 0.
    BOOL TrackPopupMenu(UINT nFlags, int x, int y, CWnd* pWnd);

    HMENU m_hMenu;
};

class CWnd : public CCmdTarget
{
public:
    CWnd() {}
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;
    virtual ~CWnd();

    static CWnd* FromHandlePermanent(HWND hWnd);

    BOOL Attach(HWND hWnd);
    HWND Detach();
    // Routes the window's messages through this object; the control's own procedure stays the default.
    BOOL SubclassWindow(HWND hWnd);

    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Default();
    // A modal dialog's loop offers it each message for it or its controls before the dialog
    // manager and the control see it; TRUE keeps it from them.
    virtual BOOL PreTranslateMessage(MSG*) { return FALSE; }

    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    BOOL EnableWindow(BOOL bEnable = TRUE) { return ::EnableWindow(m_hWnd, bEnable); }
    BOOL ShowWindow(int nCmdShow) { return ::ShowWindow(m_hWnd, nCmdShow); }
    BOOL IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd); }
    void SetWindowText(LPCSTR lpszString) { ::SetWindowTextA(m_hWnd, lpszString); }
    void GetWindowText(CString& rString) const;
    void GetClientRect(LPRECT lpRect) const { ::GetClientRect(m_hWnd, lpRect); }
    DWORD GetStyle() const { return static_cast<DWORD>(::GetWindowLongA(m_hWnd, GWL_STYLE)); }
    BOOL ModifyStyle(DWORD dwRemove, DWORD dwAdd, UINT nFlags = 0);
    BOOL RedrawWindow(LPCRECT lpRectUpdate = nullptr, HRGN hrgnUpdate = nullptr,
                      UINT flags = RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE);
    CMenu GetSystemMenu(BOOL bRevert) const { return CMenu(::GetSystemMenu(m_hWnd, bRevert)); }

    HWND m_hWnd = nullptr;

protected:
    virtual void PreSubclassWindow() {}
    virtual BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
    // A notification the parent passes back to the control that caused it (owner drawing).
    virtual BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);

private:
    friend LRESULT CALLBACK AfxWndProc(HWND, UINT, WPARAM, LPARAM);

    WNDPROC m_pfnSuper = nullptr;
    bool m_bUnicode = false;
    MSG m_msgCur = {};
};

template <class T>
LRESULT AfxInvoke(HBRUSH (T::*pfn)(CDC*, CWnd*, UINT), CCmdTarget* pTarget, UINT nMessage, WPARAM wParam,
                  LPARAM lParam)
{
    CDC dc(reinterpret_cast<HDC>(wParam));
    CWnd* pCtl = CWnd::FromHandlePermanent(reinterpret_cast<HWND>(lParam));
    return reinterpret_cast<LRESULT>(
        (static_cast<T*>(pTarget)->*pfn)(&dc, pCtl, nMessage - WM_CTLCOLORMSGBOX));
}

class CDataExchange
{
public:
    CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate)
        : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd)
    {
    }

    BOOL m_bSaveAndValidate;
    CWnd* m_pDlgWnd;
};

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);

class CDialog : public CWnd
{
public:
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr)
        : m_nIDTemplate(nIDTemplate), m_pParentWnd(pParentWnd)
    {
    }

    virtual INT_PTR DoModal();
    // A modeless dialog beside pParentWnd, which owns it; its keys (Tab, Enter, Escape) work
    // as a dialog's while a modal loop runs. Gone with its owner.
    BOOL Create(CWnd* pParentWnd);
    virtual BOOL OnInitDialog();
    void EndDialog(int nResult) { ::EndDialog(m_hWnd, nResult); }
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);

protected:
    virtual void DoDataExchange(CDataExchange*) {}
    virtual void OnOK() { EndDialog(IDOK); }
    virtual void OnCancel() { EndDialog(IDCANCEL); }
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;
    const AFX_MSGMAP* GetMessageMap() const override { return &s_messageMap; }

    static const AFX_MSGMAP s_messageMap;

private:
    friend INT_PTR CALLBACK AfxDlgProc(HWND, UINT, WPARAM, LPARAM);
    void ExecuteDlgInit();

    static const AFX_MSGMAP_ENTRY s_messageEntries[];

    UINT m_nIDTemplate;
    CWnd* m_pParentWnd;
};

class CButton : public CWnd
{
public:
    int GetCheck() const { return static_cast<int>(SendMessage(BM_GETCHECK)); }
    void SetCheck(int nCheck) { SendMessage(BM_SETCHECK, static_cast<WPARAM>(nCheck)); }
    virtual void DrawItem(LPDRAWITEMSTRUCT) {}

protected:
    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;
};

class CStatic : public CWnd
{
};

class CEdit : public CWnd
{
};

class CComboBox : public CWnd
{
public:
    int GetCount() const { return static_cast<int>(SendMessage(CB_GETCOUNT)); }
    int GetCurSel() const { return static_cast<int>(SendMessage(CB_GETCURSEL)); }
    int SetCurSel(int nSelect) { return static_cast<int>(SendMessage(CB_SETCURSEL, static_cast<WPARAM>(nSelect))); }
    int AddString(LPCSTR lpszString)
    {
        return static_cast<int>(SendMessage(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(lpszString)));
    }
    void ResetContent() { SendMessage(CB_RESETCONTENT); }
    void GetLBText(int nIndex, CString& rString) const;
    // Drops down as wide as its widest entry, never narrower than the box itself.
    void FitDroppedWidth();
};

class CListBox : public CWnd
{
public:
    int GetCount() const { return static_cast<int>(SendMessage(LB_GETCOUNT)); }
    int AddString(LPCSTR lpszItem)
    {
        return static_cast<int>(SendMessage(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(lpszItem)));
    }
    int DeleteString(UINT nIndex) { return static_cast<int>(SendMessage(LB_DELETESTRING, nIndex)); }
    int SetTopIndex(int nIndex)
    {
        return static_cast<int>(SendMessage(LB_SETTOPINDEX, static_cast<WPARAM>(nIndex)));
    }
};
