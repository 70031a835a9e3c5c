// The main window: the TAP state diagram as buttons, the signal trace and the history list.
#pragma once

#include <vector>

#include "../chainview/ChainDlg.h"
#include "../chooser/CableChooser.h"
#include "../controls/ColorButton.h"
#include "../controls/HistoryListBox.h"
#include "../controls/PaintHold.h"
#include "../controls/ValueTip.h"
#include "../keys/StepKeys.h"
#include "../pins/PinControls.h"
#include "../platform/wnd.h"
#include "../res/resource.h"
#include "../scan/SendControls.h"
#include "../trace/TraceRows.h"
#include "../svfview/SvfStepDlg.h"
#include "../engine/TapEngine.h"
#include "../panel/StatePanel.h"
#include "../panel/TapTable.h"

class CStepperDlg : public CDialog,
                    private ITapListener,
                    private CStepKeys::ITarget,
                    private CCableChooser::ITarget,
                    private CSendControls::ITarget,
                    private CChainDlg::ITarget
{
public:
    enum { IDD = IDD_MORVA_DIALOG };

    explicit CStepperDlg(CWnd* pParent = nullptr);

    // The TAP the window shows and drives: its state, its clocks and their record.
    CTapEngine& Tap() { return m_tap; }
    // The settings file that keeps the value lists and the cable picked; none when empty.
    void SetSettingsPath(const std::string& strPath)
    {
        m_strSettingsPath = strPath;
        m_svf.SetSettingsPath(strPath);
        m_chain.SetSettingsPath(strPath);
    }
    // The cables the list offers; none: the list offers none.
    void OfferCables(CCableList* pCables) { m_cables.Offer(pCables); }
    // Where the chain window looks for the devices' BSDL files.
    void SetBsdlLibrary(CBsdlLibrary* pLibrary) { m_chain.SetBsdlLibrary(pLibrary); }
    // The chain window, made once the chain is first scanned.
    CChainDlg& ChainWindow() { return m_chain; }
    BOOL PreTranslateMessage(MSG* pMsg) override { return m_keys.PreTranslate(*pMsg) ? TRUE : FALSE; }

    // The About box: the program's to give. None: the menu entry does nothing.
    static void (*s_pfnShowAbout)(const std::string& strCable);

private:
    // Panel: enable the buttons one clock can reach from nIndex and highlight its buttons.
    BOOL ShowState(int nIndex);
    // Panel for a state nobody knows: only TEST-LOGIC-RESET enabled, nothing highlighted.
    void ShowUnknownState();
    BOOL RefreshTrace();

    CTapEngine m_tap;

    CEdit m_editValue;
    // The value whole, where the field is too narrow for it.
    CValueTip m_valueTip;
    CHistoryListBox m_listHistory;
    CStatic m_stTitle;
    HICON m_hIcon;
    HICON m_hScaledIcon = nullptr;  // loaded for a DPI the window moved to
    int m_nDpi = 96;  // the DPI the window is laid out for
    CFont m_fontTitle;

    // Asks where, then writes the session as a waveform file.
    void OnSaveTrace();
    // Asks where, then writes the session as SVF, the device picked in the chain window spoken to
    // through the others.
    void OnSaveSvf();
    // Asks for a file, then opens it to be stepped.
    void OnPlaySvf();
    // The system reset pulsed, no clock made; a cable without the line says so.
    void OnPulseSrst();

    // Each command paints once, at its end.
    CPaintHold m_paint{*this};
    void MarkChanged(CWnd& control) { m_paint.MarkChanged(control); }

    // The state buttons, and the trace rows.
    CStatePanel m_panel{*this, m_paint};
    CTraceRows m_trace{*this, m_paint};

    // TCK, TMS, TDI and TDO by hand.
    CPinControls m_pins{m_tap, m_paint};

    // SEND-IR and SEND-DR with their value lists; the bits that came out of TDO since each
    // register's Capture, shown in the value display.
    CSendControls m_send{*this, m_tap, m_paint, *this};
    std::string m_strSettingsPath;  // the settings file that keeps the lists; none when empty
    CFont m_fontValue;  // narrow enough for a 32-bit value in the display's width
    bool m_bClosing = false;  // the IDCANCEL to come is the close box's, not Escape's
    // Each clock goes to the trace strings, the session and the trace file at once, and to the
    // history, the TDO control and the value display through these; while a SEND runs
    // (deferred) only when it shows how far it is and at its end.
    bool m_bDeferred = false;
    std::vector<CString> m_pendingLines;
    BYTE m_nPendingTdo = 0;
    bool m_bValuePending = false;

    // What a SEND kept back: the clocks' lines, the rows and the panel.
    void ApplyDeferred();
    void ShowRecordedClocks();
    void AddHistoryLine(const CString& line);

    // The cable list, with the cables the program offers.
    CCableChooser m_cables{*this, m_tap, *this};

    // The chain window: the devices scanned, and the one the values go to.
    CChainDlg m_chain{m_tap, *this};
    // An SVF file stepped.
    CSvfStepDlg m_svf{m_tap};
    bool m_bLastOutIr = false;  // the value shown came out of the instruction register
    // The value display's text: the value that came out, or the picked device's share of it.
    std::string ShownValue() const;
    // The value field's text, and its tip.
    void ShowValue(const std::string& text);
    void SpeakTo(CChainAddress* pAddress) override;

    // A step key's button now, or 0 where its button is disabled.
    UINT StepKeyButton(const StepKey& key) override;

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
    void OnValueEdited(UINT nID) { m_send.OnValueEdited(nID); }
    void OnValuePicked(UINT nID) { m_send.OnValuePicked(nID); }
    void OnCableListDropped() { m_cables.OnDropped(); }
    void OnCableListClosed() { m_cables.OnClosed(); }
    void OnCablePicked() { m_cables.OnPicked(); }
    void OnTck() { m_pins.OnTck(); }
    void OnTms() { m_pins.OnTms(); }
    void OnTdi() { m_pins.OnTdi(); }
    void OnTdo() { m_pins.OnTdo(); }
    HBRUSH OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor);

    static const AFX_MSGMAP s_messageMap;

    // What the TAP tells the window.
    void OnStateEntered(int nState) override;
    void OnClock(const ClockRecord& clock, bool bValueOut) override;
    void OnCableLost(const std::string& strFailure) override;
    void OnTraceFileFailed(const std::string& strError) override;
    // What the step keys press.
    void Press(UINT nID) override;
    bool TakesText(HWND hWnd) override;
    // A cable switched from the list: its pins, and a state nobody knows.
    void OnCableSwitched() override;
    CStepKeys m_keys{m_tap, *this};

    // A command of many clocks shows its clocks once, at its end; a SEND now and then on its way.
    void OnCommandBegun() override { m_bDeferred = true; }
    void OnCommandEnded() override;
    void ShowSoFar() override;
    void ShowValueText(const std::string& text) override;
    void CloseWindow() override { EndDialog(IDCANCEL); }

    void SetTitleFont();
    void SetValueFont();
    void OnDpiChanged(UINT nDpis, LPARAM lParam);

    static const AFX_MSGMAP_ENTRY s_messageEntries[];
};
