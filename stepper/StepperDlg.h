// The main window: the TAP state diagram as buttons, the signal trace and the history list.
#pragma once

#include <vector>

#include "../chooser/CableList.h"
#include "../controls/ColorButton.h"
#include "../controls/HistoryListBox.h"
#include "../keys/StepKeys.h"
#include "../platform/wnd.h"
#include "../res/resource.h"
#include "../scan/ValueLists.h"
#include "../engine/TapEngine.h"
#include "TapTable.h"

// Posted when the cable list has closed: a pick is acted on once the list is out of the way.
const UINT WM_CABLE_PICKED = WM_APP + 1;

class CStepperDlg : public CDialog, private ITapListener
{
public:
    enum { IDD = IDD_MORVA_DIALOG };

    explicit CStepperDlg(CWnd* pParent = nullptr);

    // Panel: enable the buttons one clock can reach from nIndex and highlight its buttons.
    BOOL ShowState(int nIndex);
    // Panel for a state nobody knows: only TEST-LOGIC-RESET enabled, nothing highlighted.
    void ShowUnknownState();
    BOOL RefreshTrace();

    // The TAP the window shows and drives: its state, its clocks and their record.
    CTapEngine m_tap;

    // Trace fonts, in the order of the rows 1028, 1032, 1033, 1031, 1030, 1029.
    CFont m_fontName1;
    CFont m_fontName2;
    CFont m_fontName3;
    CFont m_fontTdo;
    CFont m_fontTdi;
    CFont m_fontTms;
    CString m_strName1;
    CString m_strName2;
    CString m_strName3;
    CString m_strTdo;
    CString m_strTdi;
    CString m_strTms;
    int m_nTraceWidth;
    CColorButton* m_pPrimaryShown;
    CColorButton* m_pPrimary;
    CColorButton* m_pSecondaryShown;
    CColorButton* m_pSecondary;
    CEdit m_editValue;
    CColorButton m_btnSendIr;
    CColorButton m_btnSendDr;
    CComboBox m_cbIrValue;
    CComboBox m_cbDrValue;
    CHistoryListBox m_listHistory;
    CStatic m_stTitle;
    CStatic m_stName3;
    CStatic m_stName2;
    CStatic m_stTms;
    CStatic m_stTdo;
    CStatic m_stTdi;
    CStatic m_stName1;
    CButton m_btnTck;
    CColorButton m_btnShiftIr1;
    CColorButton m_btnShiftDr1;
    CColorButton m_btnExit1Ir1;
    CColorButton m_btnExit1Dr1;
    CColorButton m_btnUpdateIr;
    CColorButton m_btnUpdateDr;
    CColorButton m_btnTestLogicReset;
    CColorButton m_btnSelectIr;
    CColorButton m_btnShiftIr;
    CColorButton m_btnSelectDr;
    CColorButton m_btnShiftDr;
    CColorButton m_btnRunTestIdle;
    CColorButton m_btnPauseIr;
    CColorButton m_btnPauseDr;
    CColorButton m_btnExit2Ir;
    CColorButton m_btnExit2Dr;
    CColorButton m_btnExit1Ir;
    CColorButton m_btnExit1Dr;
    CColorButton m_btnTms;
    CColorButton m_btnTdo;
    CColorButton m_btnTdi;
    CColorButton m_btnCaptureIr;
    CColorButton m_btnCaptureDr;
    HICON m_hIcon;
    HICON m_hScaledIcon = nullptr;  // loaded for a DPI the window moved to
    int m_nDpi = 96;  // the DPI the window is laid out for
    CFont m_fontTitle;
    bool m_bRedrawHeld = false;
    HWND m_hFocusBeforeHold = nullptr;
    std::vector<HWND> m_changed;

    // The state button with this control ID, or null.
    CColorButton* StateButton(UINT nID);
    // A state button's command, as its click runs it: TMS, TDI, the new state, the panel, the
    // clock. FALSE when the cable did not take the clock.
    BOOL StepButton(UINT nID);
    // Asks where, then writes the session as a waveform file.
    void OnSaveTrace();

    // A click changes up to twenty buttons, six rows and the list; the window system would paint
    // each change at once. Held, the window paints nothing until the hold ends, and then each
    // changed control once.
    void HoldRedraw();
    void MarkChanged(CWnd& control);
    void ReleaseRedraw();

    // SEND-IR and SEND-DR: the values sent with each, newest first; the bits that came out of
    // TDO since each register's Capture, shown in the value display.
    std::string m_strSettingsPath;  // the settings file that keeps the lists; none when empty
    CValueList m_irValues{"ir values"};
    CValueList m_drValues{"dr values"};
    CFont m_fontValue;  // narrow enough for a 32-bit value in the display's width
    bool m_bIrValueValid = false;
    bool m_bDrValueValid = false;
    // The register a SEND is shifting now, or null; what a click on its STOP asked for.
    const TapRegister* m_pSending = nullptr;
    size_t m_nSendShifted = 0;  // of the running SEND's m_nSendLength bits, shifted so far
    size_t m_nSendLength = 0;
    DWORD m_dwSendShown = 0;    // when the running SEND last showed how far it is
    bool m_bStopRequested = false;
    bool m_bCloseAfterSend = false;
    bool m_bValuesNotKeptShown = false;  // a failed write of the value lists was said
    // Each clock goes to the trace strings, the session and the trace file at once, and to the
    // history, the TDO control and the value display through these; while a SEND runs
    // (deferred) only when it shows how far it is and at its end.
    bool m_bDeferred = false;
    std::vector<CString> m_pendingLines;
    BYTE m_nPendingTdo = 0;
    bool m_bValuePending = false;

    // Shifts the value in the register's list through the register; a second press stops it.
    void Send(const TapRegister& reg);
    // SEND enabled where a SEND may start, with a valid value in its list; STOP while it runs.
    void ShowSendButtons();
    // What a SEND kept back: the clocks' lines, the rows and the panel.
    void ApplyDeferred();
    void ShowRecordedClocks();
    void AddHistoryLine(const CString& line);
    void FillValueList(CComboBox& list, const CValueList& values);

    // The cables the window's list offers, given by the program; null: the list stays disabled.
    CCableList* m_pCables = nullptr;
    std::vector<CCableList::Entry> m_cableEntries;  // as the list holds them now
    // The list holds the cable in use, or (bAll) every cable there is now.
    void FillCableList(bool bAll);
    void ShowCableNote();

    // The pin controls shown, enabled where the cable can hold a level, with the levels driven.
    void ShowPinControls();
    void ShowPinLevels();
    void DrivePin(BYTE tms, BYTE tdi);

    // A step key's button now, or 0 where its button is disabled.
    UINT StepKeyButton(const StepKey& key);
    BOOL PreTranslateMessage(MSG* pMsg) override;

    // The About box: the program's to give. None: the menu entry does nothing.
    static void (*s_pfnShowAbout)();
    // Whether a click holds painting until it is done (HoldRedraw). Off, every change paints at
    // once, as the window system paints it: a reference for how the window must look.
    static bool s_bHoldPainting;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL OnInitDialog() override;
    const AFX_MSGMAP* GetMessageMap() const override { return &s_messageMap; }

    // Message map handlers, in the order of the map.
    void OnSysCommand(UINT nID, LPARAM lParam);
    // A right click anywhere in the window but a value list's edit field: its own commands.
    void OnContextMenu(UINT nWnd, LPARAM lParam);
    void OnPaint();
    HCURSOR OnQueryDragIcon();
    void OnClose();
    void OnDestroy();
    void OnTestLogicReset();
    void OnStateButton(UINT nID);
    void OnSendDr();
    void OnSendIr();
    void OnValueEdited(UINT nID);
    void OnValuePicked(UINT nID);
    void OnCableListDropped();
    void OnCableListClosed();
    void OnCablePicked();
    void OnTck();
    void OnTms();
    void OnTdi();
    void OnTdo();
    void OnStateDoubleClicked();
    HBRUSH OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor);

    static const AFX_MSGMAP s_messageMap;

private:
    // What the TAP tells the window.
    void OnStateEntered(int nState) override;
    void OnClock(const ClockRecord& clock, bool bValueOut) override;
    void OnCableLost(const std::string& strFailure) override;
    void OnTraceFileFailed(const std::string& strError) override;
    // A SEND that runs long shows how far it is, after a clock.
    void ShowSendProgress();

    // Holds the window's painting for the life of a command.
    class CRedrawHold
    {
    public:
        explicit CRedrawHold(CStepperDlg& dlg) : m_dlg(dlg) { m_dlg.HoldRedraw(); }
        ~CRedrawHold() { m_dlg.ReleaseRedraw(); }
        CRedrawHold(const CRedrawHold&) = delete;
        CRedrawHold& operator=(const CRedrawHold&) = delete;

    private:
        CStepperDlg& m_dlg;
    };

    static void CreateRowFont(CFont& font, int nDpi, SIZE cell);
    // Gives the control the fresh font and keeps it in font; fresh is left with the one before,
    // which goes with it, after the control has let go of it.
    static void ReplaceFont(CWnd& control, CFont& font, CFont& fresh);
    void SetTraceFonts();
    void SetTitleFont();
    void SetValueFont();
    void OnDpiChanged(UINT nDpis, LPARAM lParam);
    void InitTrace();

    static const AFX_MSGMAP_ENTRY s_messageEntries[];

    struct ButtonMember
    {
        UINT nID;
        CColorButton CStepperDlg::*pButton;
    };
    static const ButtonMember s_stateButtons[STATE_BUTTON_COUNT];
};
