// The pin view: one device's pins as its BSDL file names them, read under SAMPLE on demand or
// over and over while the window is idle, and driven one by one under EXTEST, every other cell
// at its safe value.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "../bsdl/BoundaryPins.h"
#include "../chain/ChainScan.h"
#include "../engine/TapEngine.h"
#include "../platform/placement.h"
#include "../platform/wnd.h"
#include "../res/resource.h"

class CPinViewDlg : public CDialog
{
public:
    enum { IDD = IDD_PINS };

    // What the pin view asks of the main window.

    explicit CPinViewDlg(CTapEngine& tap) : CDialog(IDD), m_tap(tap) {}

    // Opens the window beside owner (made the first time) on the device address speaks to, and
    // reads its pins once. The address is the chain window's and outlives the view's use of it.
    void ShowDevice(CWnd& owner, CChainAddress& address);
    // The settings file, where the window keeps its place.
    void SetSettingsPath(const std::string& strPath) { m_place.SetSettingsPath(strPath); }
    // The device is no longer spoken to (another scan, another cable): the window hides.
    void Forget();

    // Whether the device is driven under EXTEST now, as far as the view knows.
    bool IsDriving() const { return m_bExtest; }

private:
    const AFX_MSGMAP* GetMessageMap() const override { return &s_messageMap; }
    BOOL OnInitDialog() override;
    void OnCancel() override;
    void OnOK() override {}

    // Message map handlers, in the order of the map.
    void OnRead();
    void OnMoved() { m_place.Keep(m_hWnd); }
    void OnRepeat();
    void OnDriveHigh() { Drive(PinDrive::High); }
    void OnDriveLow() { Drive(PinDrive::Low); }
    void OnDriveOff() { Drive(PinDrive::Off); }
    void OnDriveSafe() { Drive(PinDrive::Safe); }
    void OnLeaveExtest();
    void OnTimer(UINT nIDEvent);

    void Read();
    void Drive(PinDrive drive);
    // One read or drive: its clocks unpaced and shown at its end, the capture kept.
    void Shift(const std::function<Outcome(CBits&)>& shift, bool bExtest);
    void StopRepeating();
    // The TAP was clocked by someone else since the view's last shift: EXTEST may be left.
    bool InExtestStill() const { return m_bExtest && m_tap.Clocks() == m_nClocksAfter; }
    void Shown(const Outcome& end);
    void ShowPins();
    void ShowMode(const std::string& strText);

    static const AFX_MSGMAP_ENTRY s_messageEntries[];
    static const AFX_MSGMAP s_messageMap;

    CTapEngine& m_tap;
    CChainAddress* m_pAddress = nullptr;
    std::shared_ptr<const BsdlFile> m_pFile;
    std::vector<BoundaryPin> m_pins;
    std::vector<PinDrive> m_drives;
    CBits m_captured;  // the last capture; empty before one
    bool m_bExtest = false;
    CKeptPlace m_place{"pins"};
    bool m_bExtestAsked = false;  // the person agreed to drive pins this session
    uint64_t m_nClocksAfter = 0;  // the engine's clocks when the view's last shift ended
    unsigned m_nReads = 0;
};
