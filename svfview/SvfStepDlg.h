// An SVF file stepped by hand: the command to play and its line, a command or a clock at a time,
// or run to the end or to the first TDO that differs; the TDO the file expects beside the TDO read,
// the bits that differ marked. Every clock goes through the engine, into the trace and the history.
#pragma once

#include <memory>
#include <string>

#include "../engine/TapEngine.h"
#include "../platform/placement.h"
#include "../platform/wnd.h"
#include "../res/resource.h"
#include "../svf/SvfPlayer.h"

class CSvfStepDlg : public CDialog
{
public:
    enum { IDD = IDD_SVF };

    // What the steps ask of the main window.

    explicit CSvfStepDlg(CTapEngine& tap) : CDialog(IDD), m_tap(tap) {}

    // Opens the window beside owner (made the first time) on the file, read through first: false,
    // with "FILE:LINE: why", for one that cannot be played; the file open before stays open then.
    bool OpenBeside(CWnd& owner, const std::string& strPath, std::string& strError);
    // The settings file, where the window keeps its place.
    void SetSettingsPath(const std::string& strPath) { m_place.SetSettingsPath(strPath); }
    // The cable was switched: a run stops, and a command begun starts again at its first clock.
    void Stop();
    // Whether a run to the end goes on; StopRunning ends it after the clock it is at.
    bool IsRunning() const { return m_bRunning; }
    void StopRunning();

private:
    const AFX_MSGMAP* GetMessageMap() const override { return &s_messageMap; }
    BOOL OnInitDialog() override;
    void OnCancel() override;
    void OnOK() override {}

    // Message map handlers, in the order of the map.
    void OnStepCommand();
    void OnStepClock();
    void OnRun();
    void OnMoved() { m_place.Keep(m_hWnd); }
    void OnTimer(UINT nIDEvent);

    // The command read next; false at the end of the file or where it cannot be read.
    bool ReadCommand();
    // After a command's last clock: its TDO shown, then the next command.
    bool SayEnd(const Outcome& end);
    void ShowCommand();
    void ShowTdo();
    void Say(const std::string& strStatus);

    static const AFX_MSGMAP_ENTRY s_messageEntries[];
    static const AFX_MSGMAP s_messageMap;

    CTapEngine& m_tap;
    std::string m_strPath;
    std::unique_ptr<CSvfReader> m_pReader;
    std::unique_ptr<CSvfPlayer> m_pPlayer;
    SvfCommand m_command;
    bool m_bCommand = false;   // m_command is read and not played through
    bool m_bRunning = false;
    CKeptPlace m_place{"svf"};
    SvfMismatch m_mismatch;
    std::string m_strNotes;    // what the player noted, said under the command
};
