// The chain window: the devices a scan found, from the cable's TDI (1) to its TDO, and the one
// device that SEND-IR and SEND-DR speak to, or the whole chain.
#pragma once

#include <memory>
#include <string>

#include "../boardview/BoardTestDlg.h"
#include "../bsdl/BsdlLibrary.h"
#include "../chain/ChainScan.h"
#include "../engine/TapEngine.h"
#include "../pinview/PinViewDlg.h"
#include "../platform/placement.h"
#include "../platform/wnd.h"
#include "../res/resource.h"

class CChainDlg : public CDialog
{
public:
    enum { IDD = IDD_CHAIN };

    // What a pick asks of the main window: the device spoken to.
    class ITarget
    {
    public:
        virtual ~ITarget() {}
        // The device the values go to from now on; null: the whole chain.
        virtual void SpeakTo(CChainAddress* pAddress) = 0;
    };

    CChainDlg(CTapEngine& tap, ITarget& target) : CDialog(IDD), m_tap(tap), m_target(target), m_pinView(tap) {}

    // Where the scan looks for the devices' BSDL files; null: nowhere.
    void SetBsdlLibrary(CBsdlLibrary* pLibrary) { m_pLibrary = pLibrary; }
    const CPinViewDlg& PinView() const { return m_pinView; }

    // The settings file: its [chain] irlen= the IR lengths field starts with; the lengths typed
    // for a chain are kept there for that chain.
    void SetSettingsPath(const std::string& strPath)
    {
        m_strSettingsPath = strPath;
        m_place.SetSettingsPath(strPath);
        m_pinView.SetSettingsPath(strPath);
        m_boardView.SetSettingsPath(strPath);
    }
    // The cable in use, as a person names it: part of what recognises a chain.
    void SetCable(const std::string& strCable) { m_strCable = strCable; }
    // Opens the window beside owner (made the first time) and scans the chain.
    void ScanBeside(CWnd& owner);
    // The cable was switched: the chain found is no longer there.
    void Forget();
    // The board test of the board strPath describes (its netlist, or a board file naming it): the
    // chain scanned again with the board's BSDL files, checked against the board, the person
    // asked before the first drive, and the report shown. What "Board test..." does once a file
    // is picked.
    void TestBoard(const std::string& strPath);
    const CBoardTestDlg& BoardView() const { return m_boardView; }
private:
    // Which line of the list is picked: 0 the whole chain, N device N.
    size_t Picked() const;

    const AFX_MSGMAP* GetMessageMap() const override { return &s_messageMap; }
    BOOL OnInitDialog() override;
    // Escape or the close box: the window hides and the values go to the whole chain again.
    void OnCancel() override;
    void OnOK() override {}

    // Message map handlers, in the order of the map.
    void OnScan();
    void OnDevicePicked();
    void OnBsdlFile();
    void OnPins();
    void OnBoardTest();
    void OnMoved() { m_place.Keep(m_hWnd); }

    void Scan();
    // One scan with the lengths given; false where the cable was lost (the window says so).
    bool ScanWith(const std::vector<int>& lengths, const std::string& strFrom);
    void ShowDevices(const std::string& strProblem);
    void PickWholeChain();

    static const AFX_MSGMAP_ENTRY s_messageEntries[];
    static const AFX_MSGMAP s_messageMap;

    CTapEngine& m_tap;
    ITarget& m_target;
    std::string m_strSettingsPath;
    std::string m_strCable;
    std::string m_strSettingsIrLengths;  // [chain] irlen= as the settings file gives it
    ChainScan m_scan;
    std::unique_ptr<CChainAddress> m_pAddress;
    CPinViewDlg m_pinView;
    CBoardTestDlg m_boardView;
    std::string m_strBoardAsked;  // the board whose nets the person agreed to drive
    CBsdlLibrary m_ownLibrary;    // the board's files, where no library was given
    CBsdlLibrary* m_pLibrary = nullptr;
    bool m_bKeepFailureShown = false;
    CKeptPlace m_place{"chain"};  // a failed write of the IR lengths was said
};
