#include "CableChooser.h"

#include "../platform/codepage.h"
#include "../res/resource.h"
#include "../res/texts.h"

void CCableChooser::Show()
{
    if (m_pCables == nullptr)
        return;
    ::EnableWindow(::GetDlgItem(m_dialog.m_hWnd, IDC_DEVICE), TRUE);
    Fill(false);
    ShowNote();
}

std::string CableListText(const CCableList::Entry& entry)
{
    return entry.strName + "  " + entry.strWhat;
}

void CCableChooser::Fill(bool bAll)
{
    const HWND hList = ::GetDlgItem(m_dialog.m_hWnd, IDC_DEVICE);
    m_entries = bAll ? m_pCables->Cables() : std::vector<CCableList::Entry>();
    const CCableList::Entry inUse = m_pCables->InUse();
    int nInUse = -1;
    for (size_t i = 0; i < m_entries.size(); ++i)
    {
        if (m_entries[i].strName == inUse.strName)
            nInUse = static_cast<int>(i);
    }
    if (nInUse < 0)
    {
        m_entries.insert(m_entries.begin(), inUse);
        nInUse = 0;
    }
    ::SendMessageA(hList, CB_RESETCONTENT, 0, 0);
    // Closed, the box is too narrow for what a cable is: it shows the name alone.
    for (const CCableList::Entry& entry : m_entries)
        ::SendMessageA(hList, CB_ADDSTRING, 0,
                       reinterpret_cast<LPARAM>(bAll ? CableListText(entry).c_str() : entry.strName.c_str()));
    ::SendMessageA(hList, CB_SETCURSEL, static_cast<WPARAM>(nInUse), 0);
}

void CCableChooser::ShowNote()
{
    // The title says when the cable in use is not the one the start asked for.
    const std::string strNote = m_pCables != nullptr ? m_pCables->Note() : std::string();
    SetWindowTextCp932(m_dialog.m_hWnd, strNote.empty() ? "MORVA" : ("MORVA - simulated board: " + strNote).c_str());
}

void CCableChooser::OnDropped()
{
    if (m_pCables == nullptr)
        return;
    // The list is drawn narrower than its entries; dropped down it is as wide as they are.
    Fill(true);
    CComboBox list;
    list.m_hWnd = ::GetDlgItem(m_dialog.m_hWnd, IDC_DEVICE);
    list.FitDroppedWidth();
    list.m_hWnd = nullptr;
}

void CCableChooser::OnClosed()
{
    if (m_pCables == nullptr)
        return;
    // After the list has closed, so that a message finds it closed: see OnCablePicked.
    ::PostMessageA(m_dialog.m_hWnd, WM_CABLE_PICKED, 0, 0);
}

void CCableChooser::OnPicked()
{
    if (m_pCables == nullptr)
        return;
    const LRESULT nPicked = ::SendMessageA(::GetDlgItem(m_dialog.m_hWnd, IDC_DEVICE), CB_GETCURSEL, 0, 0);
    if (nPicked < 0 || static_cast<size_t>(nPicked) >= m_entries.size() || m_tap.InCommand() ||
        m_entries[nPicked].strName == m_pCables->InUse().strName)
    {
        Fill(false);
        return;
    }
    // Closed as closing the window closes it; the new one starts as the window's start does.
    m_tap.Switch(false);
    std::string strError;
    const bool bUsed = m_pCables->Use(m_entries[nPicked].strName, strError);
    // Opened, and then lost at once as its pins were driven: said as a lost cable is.
    const bool bOn = m_tap.Switch(true);
    if (!bOn)
    {
        if (!strError.empty())
            strError += "\n\n";
        strError += m_tap.CableLost().At("as MORVA switched it on").Message();
    }
    Fill(false);
    ShowNote();
    // Even the old cable, released and taken again, may have moved its pins meanwhile.
    m_tap.ForgetState();
    m_target.OnCableSwitched();
    if (!strError.empty())
        MessageBoxCp932(m_dialog.m_hWnd, strError.c_str(), ErrorCaption().c_str(),
                        bUsed && bOn ? MB_ICONEXCLAMATION : MB_ICONHAND);
}
