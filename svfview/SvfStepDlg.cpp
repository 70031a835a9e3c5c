#include "SvfStepDlg.h"

#include <iterator>

#include "../platform/codepage.h"
#include "../platform/language.h"

namespace {

const UINT RUN_TIMER = 1;
// A run plays commands for this long between looks at the window's messages.
const DWORD RUN_SLICE_MS = 50;

std::string FileName(const std::string& strPath)
{
    const size_t nSlash = strPath.find_last_of("\\/");
    return nSlash == std::string::npos ? strPath : strPath.substr(nSlash + 1);
}

} // namespace

const AFX_MSGMAP_ENTRY CSvfStepDlg::s_messageEntries[] = {
    CommandEntry<&CSvfStepDlg::OnStepCommand>(BN_CLICKED, IDC_SVF_STEP),
    MessageEntry<&CSvfStepDlg::OnMoved>(WM_MOVE),
    CommandEntry<&CSvfStepDlg::OnStepClock>(BN_CLICKED, IDC_SVF_CLOCK),
    CommandEntry<&CSvfStepDlg::OnRun>(BN_CLICKED, IDC_SVF_RUN),
    MessageEntry<&CSvfStepDlg::OnTimer>(WM_TIMER),
};

const AFX_MSGMAP CSvfStepDlg::s_messageMap = {&CDialog::s_messageMap, s_messageEntries, std::size(s_messageEntries)};

BOOL CSvfStepDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    // The bits line up under each other.
    ::SendDlgItemMessageA(m_hWnd, IDC_SVF_TDO, WM_SETFONT, reinterpret_cast<WPARAM>(::GetStockObject(ANSI_FIXED_FONT)),
                          FALSE);
    return TRUE;
}

bool CSvfStepDlg::OpenBeside(CWnd& owner, const std::string& strPath, std::string& strError)
{
    // A bitstream of hundreds of megabytes takes seconds to read through.
    const HCURSOR hBefore = ::SetCursor(::LoadCursorA(nullptr, IDC_WAIT));
    const bool bPlayable = CSvfPlayer::CheckFile(strPath, strError);
    ::SetCursor(hBefore);
    if (!bPlayable)
        return false;
    std::unique_ptr<CSvfReader> pReader(new CSvfReader);
    if (!pReader->Open(strPath, strError))
        return false;
    if (m_hWnd == nullptr)
    {
        if (Create(&owner) == FALSE)
            return false;
        m_place.Place(m_hWnd, owner.m_hWnd);
    }
    StopRunning();
    m_strPath = strPath;
    m_pReader = std::move(pReader);
    m_pPlayer.reset(new CSvfPlayer(m_tap, [this](const std::string& strNote) { m_strNotes += strNote + "\r\n"; }));
    m_strNotes.clear();
    SetWindowTextCp932(m_hWnd, ("SVF: " + FileName(strPath)).c_str());
    ::SetDlgItemTextA(m_hWnd, IDC_SVF_TDO, "");
    if (ReadCommand())
        Say("Nothing played yet. The first command plays from the state the TAP is in.");
    ShowWindow(SW_SHOWNA);
    return true;
}

void CSvfStepDlg::Stop()
{
    StopRunning();
    if (m_pPlayer == nullptr || !m_pPlayer->InCommand())
        return;
    m_pPlayer->Abandon();
    Say("The cable was switched: line " + std::to_string(m_command.nLine) + " starts again at its first clock.");
}

void CSvfStepDlg::OnCancel()
{
    // Escape stops a run and nothing more; without one it hides the window.
    if (m_bRunning)
    {
        StopRunning();
        return;
    }
    ShowWindow(SW_HIDE);
}

bool CSvfStepDlg::ReadCommand()
{
    std::string strError;
    m_bCommand = m_pReader != nullptr && m_pReader->Next(m_command, strError);
    ShowCommand();
    if (!m_bCommand)
    {
        StopRunning();
        Say(strError.empty() ? "The file is played to its end." : m_strPath + ":" + strError);
    }
    return m_bCommand;
}

void CSvfStepDlg::OnStepCommand()
{
    if (!m_bCommand || m_tap.InCommand())
        return;
    Outcome end;
    std::string strError;
    {
        CTapCommand command(m_tap);
        if (m_pPlayer->InCommand())
            end = m_pPlayer->FinishCommand(m_mismatch);
        else
            end = m_pPlayer->Play(m_command, m_mismatch, strError);
    }
    SayEnd(end);
}

void CSvfStepDlg::OnStepClock()
{
    if (!m_bCommand || m_tap.InCommand())
        return;
    Outcome end = Ended::Done;
    std::string strError;
    // Commands without a clock of their own (ENDDR, HIR, ...) are played on the way to one.
    CTapCommand before(m_tap);
    while (m_bCommand && !m_pPlayer->InCommand())
    {
        end = m_pPlayer->Begin(m_command, m_mismatch, strError);
        if (m_pPlayer->InCommand() || !SayEnd(end))
            break;
    }
    before.End();
    // The step's one clock, as a click's.
    if (m_bCommand && m_pPlayer->InCommand())
    {
        end = m_pPlayer->NextClock(m_mismatch);
        if (m_pPlayer->InCommand() && end == Ended::Done)
        {
            const SvfPlan& plan = m_pPlayer->Plan();
            ShowTdo();
            Say("Clock " + std::to_string(plan.nDone) + " of " + std::to_string(plan.Clocks()) + " of line " +
                std::to_string(m_command.nLine) + ".");
        }
        else
        {
            SayEnd(end);
        }
    }
}

void CSvfStepDlg::OnRun()
{
    if (m_bRunning)
    {
        StopRunning();
        if (m_pPlayer->InCommand())
        {
            const SvfPlan& plan = m_pPlayer->Plan();
            Say("Stopped at clock " + std::to_string(plan.nDone) + " of " + std::to_string(plan.Clocks()) + " of line " +
                std::to_string(m_command.nLine) + ".");
        }
        else
            Say("Stopped before line " + std::to_string(m_command.nLine) + ".");
        return;
    }
    if (!m_bCommand || m_tap.InCommand())
        return;
    m_bRunning = true;
    ::SetDlgItemTextA(m_hWnd, IDC_SVF_RUN, "Stop");
    ::SetTimer(m_hWnd, RUN_TIMER, 1, nullptr);
}

void CSvfStepDlg::OnTimer(UINT nIDEvent)
{
    // Timer messages come only when no other waits: the window answers between slices of the run.
    if (nIDEvent != RUN_TIMER || !m_bRunning || m_tap.InCommand())
        return;
    const DWORD dwStart = ::GetTickCount();
    CTapCommand command(m_tap);
    // A command of millions of clocks, or a RUNTEST's long wait, is played a slice at a time: the
    // window takes a click on Stop between two.
    while (m_bRunning && m_bCommand && ::GetTickCount() - dwStart < RUN_SLICE_MS)
    {
        std::string strError;
        Outcome end = Ended::Done;
        if (!m_pPlayer->InCommand())
        {
            end = m_pPlayer->Begin(m_command, m_mismatch, strError);
            if (!m_pPlayer->InCommand())
            {
                if (!SayEnd(end))
                    break;
                continue;
            }
        }
        const DWORD dwUsed = ::GetTickCount() - dwStart;
        end = m_pPlayer->FinishCommand(m_mismatch, dwUsed < RUN_SLICE_MS ? RUN_SLICE_MS - dwUsed : 1);
        if (m_pPlayer->InCommand() && end == Ended::Done)
            break;
        if (!SayEnd(end))
            break;
    }
    command.End();
    if (m_bRunning && m_bCommand)
    {
        const SvfPlan& plan = m_pPlayer->Plan();
        Say("Running: line " + std::to_string(m_command.nLine) +
            (m_pPlayer->InCommand() ? ", clock " + std::to_string(plan.nDone) + " of " + std::to_string(plan.Clocks())
                                    : std::string()) +
            ".");
    }
}

bool CSvfStepDlg::SayEnd(const Outcome& end)
{
    const int nLine = m_command.nLine;
    const bool bScan = m_command.kind == SvfCommandKind::Sir || m_command.kind == SvfCommandKind::Sdr;
    if (bScan && !m_pPlayer->Plan().bits.empty())
        ShowTdo();
    if (end == Ended::Done)
    {
        if (!ReadCommand())
            return false;
        Say("Line " + std::to_string(nLine) + " played" + (bScan && m_pPlayer->Plan().bCheck ? ", its TDO as expected." : "."));
        return true;
    }
    StopRunning();
    if (end == Ended::Differs)
    {
        ReadCommand();
        Say(end.Message() + "; the bits marked ^ differ.");
        return false;
    }
    Say(end.Message());
    return false;
}

void CSvfStepDlg::StopRunning()
{
    if (m_hWnd == nullptr)
        return;
    m_bRunning = false;
    ::KillTimer(m_hWnd, RUN_TIMER);
    ::SetDlgItemTextA(m_hWnd, IDC_SVF_RUN, LoadText(IDS_SVF_RUN).c_str());
}

void CSvfStepDlg::ShowCommand()
{
    const std::string strText =
        m_bCommand ? "Next, line " + std::to_string(m_command.nLine) + ":  " + SvfCommandText(m_command) : std::string();
    SetWindowTextCp932(::GetDlgItem(m_hWnd, IDC_SVF_COMMAND), strText.c_str());
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_SVF_STEP), m_bCommand ? TRUE : FALSE);
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_SVF_CLOCK), m_bCommand ? TRUE : FALSE);
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_SVF_RUN), m_bCommand ? TRUE : FALSE);
}

void CSvfStepDlg::ShowTdo()
{
    const SvfPlan& plan = m_pPlayer->Plan();
    std::string text;
    if (!plan.bCheck)
        text = "The scan expects no TDO.\r\n  read     " +
               (plan.nReadFrom > 0 ? "bits from " + std::to_string(plan.nReadFrom) + ": " : std::string()) +
               SvfHexShown(plan.read);
    else
    {
        for (const std::string& line : SvfTdoLines(plan.expected, plan.read, plan.mask, plan.nReadFrom))
            text += line + "\r\n";
    }
    ::SetDlgItemTextA(m_hWnd, IDC_SVF_TDO, (text + m_strNotes).c_str());
}

void CSvfStepDlg::Say(const std::string& strStatus)
{
    SetWindowTextCp932(::GetDlgItem(m_hWnd, IDC_SVF_STATUS), strStatus.c_str());
}
