// SEND-IR and SEND-DR: a value from its list shifted through a register, one clock at a time,
// from where the TAP is to Run-Test/Idle; the lists keep the values sent, newest first.
#pragma once

#include <string>

#include "../chain/ChainScan.h"
#include "../controls/ColorButton.h"
#include "../controls/PaintHold.h"
#include "../engine/TapEngine.h"
#include "../platform/wnd.h"
#include "ValueLists.h"

class CSendControls
{
public:
    // What a SEND asks of the window around it.
    class ITarget
    {
    public:
        virtual ~ITarget() {}
        // While a SEND runs the window keeps back what each clock shows, as for every command
        // of many clocks: this shows the clocks kept back so far.
        virtual void ShowSoFar() = 0;
        // The value display now: how far a SEND is.
        virtual void ShowValueText(const std::string& text) = 0;
        // The window was asked to close while the SEND ran: it closes now.
        virtual void CloseWindow() = 0;
    };

    CSendControls(CWnd& dialog, CTapEngine& tap, CPaintHold& paint, ITarget& target)
        : m_dialog(dialog), m_tap(tap), m_paint(paint), m_target(target)
    {
    }

    void Exchange(CDataExchange* pDX);
    // The lists as the settings file keeps them, or the cable's examples.
    void Load(const std::string& strSettingsPath);
    bool IsSending() const { return m_pSending != nullptr; }
    // As a click on STOP: the running SEND stops where the TAP can be left.
    void Stop() { m_bStopRequested = true; }
    // Whether the window is one of the value lists (or their edit fields), and which.
    bool IsValueField(HWND hWnd, bool& bDr) const;

    // Shifts the value in the register's list through the register; a second press stops it.
    void Send(const TapRegister& reg);
    // The register's SEND button pressed: a SEND where the button takes one.
    void OnSendClicked(const TapRegister& reg);
    const CWnd& SendButton(const TapRegister& reg) const;
    void SetDisabledFace(COLORREF crFace);
    void OnValueEdited(UINT nID);
    void OnValuePicked(UINT nID);
    // Escape or the close box while a SEND runs: it stops where the TAP can be left, then the
    // window closes.
    void StopAndClose();
    // SEND enabled where a SEND may start, with a valid value in its list; STOP while it runs.
    void ShowButtons();
    // A clock of the running SEND: now and then it shows how far it is.
    void OnClock();

    // The one device of the chain that SEND-IR and SEND-DR speak to, the others padded; null:
    // the whole chain, the value as it is.
    // A device with a BSDL file: the IR list offers its instructions by name, and SEND-IR takes
    // a name.
    void SpeakTo(CChainAddress* pAddress);
    const CChainAddress* Address() const { return m_pAddress; }

private:
    CColorButton m_btnSendIr;
    CColorButton m_btnSendDr;
    CComboBox m_cbIrValue;
    CComboBox m_cbDrValue;
    CValueList m_irValues{"ir values"};
    CValueList m_drValues{"dr values"};
    void FillValueList(CComboBox& list, const std::vector<std::string>& values);
    // The list's text as bits: a value as written, or an instruction of the device's file by
    // name ("IDCODE", "IDCODE  00010"). False, with why, for neither.
    bool ReadValue(bool bDr, const std::string& text, CBits& bits, std::string& strError) const;
    bool IsValidValue(CComboBox& list) const;
    // The file of the device spoken to, or null.
    const BsdlFile* DeviceFile() const;
    // After an instruction of the device's file: the DR list offers a value as long as the
    // register it selects.
    void OfferRegisterLength(const CBits& instruction);

    CWnd& m_dialog;
    CTapEngine& m_tap;
    CPaintHold& m_paint;
    ITarget& m_target;
    std::string m_strSettingsPath;  // the settings file that keeps the lists; none when empty
    bool m_bIrValueValid = false;
    bool m_bDrValueValid = false;
    // The register a SEND is shifting now, or null; what a click on its STOP asked for.
    const TapRegister* m_pSending = nullptr;
    bool m_bStopRequested = false;
    bool m_bCloseAfterSend = false;
    bool m_bValuesNotKeptShown = false;  // a failed write of the value lists was said
    CChainAddress* m_pAddress = nullptr;
    bool m_bFileList = false;  // the IR list offers a device's instructions from its BSDL file
    size_t m_nShifted = 0;               // of the running SEND's m_nLength bits, shifted so far
    size_t m_nLength = 0;
    DWORD m_dwShown = 0;  // when the running SEND last showed how far it is
    DWORD m_dwPumped = 0;  // when it last handled the window's waiting messages
};
