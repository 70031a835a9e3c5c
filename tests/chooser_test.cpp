// The window's cable list: it shows the cable in use, offers what the program lists, and a pick
// releases the cable in use before the new one is touched.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dialog_runner.h"
#include "recording_port.h"

namespace {

// Every access of two cables and every change of cable, in one order.
struct Events
{
    std::vector<std::string> lines;
};

class CLoggedPort : public CParallelPort
{
public:
    CLoggedPort(const char* pszName, Events& events) : m_strName(pszName), m_events(events) {}
    void Write(unsigned short, unsigned char value) override
    {
        m_events.lines.push_back(m_strName + " write " + std::to_string(value));
    }
    unsigned char Read(unsigned short) override { return 0x00; }
    std::string Failure() const override { return strFailure; }

    std::string strFailure;  // what every access says once the cable is gone

private:
    std::string m_strName;
    Events& m_events;
};

class CFakeCables : public CCableList
{
public:
    explicit CFakeCables(Events& events) : m_events(events), m_a("a", events), m_b("b", events) { SetCablePort(&m_a); }
    ~CFakeCables() override { SetCablePort(nullptr); }

    std::vector<Entry> Cables() override
    {
        ++nLookups;
        return {{"a", "cable A"}, {"b", "cable B"}};
    }
    Entry InUse() const override { return m_inUse; }
    bool Use(const std::string& strName, std::string& strError) override
    {
        m_events.lines.push_back("use " + strName);
        if (!bOpens)
        {
            strError = "cable B is not there";
            return false;
        }
        SetCablePort(strName == "a" ? &m_a : &m_b);
        m_inUse = {strName, strName == "a" ? "cable A" : "cable B"};
        return true;
    }

    CLoggedPort& B() { return m_b; }

    bool bOpens = true;
    int nLookups = 0;

private:
    Events& m_events;
    CLoggedPort m_a;
    CLoggedPort m_b;
    Entry m_inUse{"a", "cable A"};
};

void Pump()
{
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
    {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}

std::vector<std::string> Items(HWND hList)
{
    std::vector<std::string> items;
    const int nCount = static_cast<int>(::SendMessageA(hList, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < nCount; ++i)
    {
        char text[128] = {};
        ::SendMessageA(hList, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
        items.push_back(text);
    }
    return items;
}

// Dropped down, an item picked, the list closed up: as the list tells of it.
void Pick(CStepperDlg& dlg, int nItem)
{
    const HWND hList = ::GetDlgItem(dlg.m_hWnd, IDC_DEVICE);
    Click(dlg, IDC_DEVICE, CBN_DROPDOWN);
    ::SendMessageA(hList, CB_SETCURSEL, static_cast<WPARAM>(nItem), 0);
    Click(dlg, IDC_DEVICE, CBN_CLOSEUP);
    Pump();
}

TEST(CableListTest, APickReleasesTheCableInUseBeforeTheNewOneAndForgetsTheState)
{
    Events events;
    CFakeCables cables(events);
    CStepperDlg dlg;
    dlg.OfferCables(&cables);
    RunDialog(dlg, [&] {
        CCountedWaits waits;
        const HWND hList = ::GetDlgItem(dlg.m_hWnd, IDC_DEVICE);
        EXPECT_TRUE(::IsWindowEnabled(hList));
        EXPECT_EQ((std::vector<std::string>{"a"}), Items(hList)) << "shows the cable in use";
        EXPECT_EQ(0, cables.nLookups) << "nothing is looked up before the list drops down";
        Click(dlg, IDC_TEST_LOGIC_RESET);
        Click(dlg, IDC_RUN_TEST_IDLE);
        ASSERT_EQ(1, dlg.Tap().State());

        Click(dlg, IDC_DEVICE, CBN_DROPDOWN);
        EXPECT_EQ((std::vector<std::string>{"a  cable A", "b  cable B"}), Items(hList));
        EXPECT_EQ(0, ::SendMessageA(hList, CB_GETCURSEL, 0, 0));
        Click(dlg, IDC_DEVICE, CBN_CLOSEUP);
        Pump();
        EXPECT_EQ(1, dlg.Tap().State()) << "closed on the cable in use: nothing changes";

        events.lines.clear();
        Pick(dlg, 1);
        EXPECT_EQ((std::vector<std::string>{"a write 0", "use b", "b write 16"}), events.lines);
        EXPECT_EQ(-1, dlg.Tap().State()) << "the new cable's TAP state is unknown until a reset";
        EXPECT_FALSE(Item<CColorButton>(dlg, IDC_RUN_TEST_IDLE).IsWindowEnabled());
        EXPECT_TRUE(Item<CColorButton>(dlg, IDC_TEST_LOGIC_RESET).IsWindowEnabled());
        EXPECT_EQ((std::vector<std::string>{"b"}), Items(hList));

        // A reset and a clock go to the new cable.
        events.lines.clear();
        Click(dlg, IDC_TEST_LOGIC_RESET);
        ASSERT_FALSE(events.lines.empty());
        EXPECT_EQ("b ", events.lines.front().substr(0, 2));
    });
}

TEST(CableListTest, ACableThatCannotBeOpenedLeavesTheOldInUseAndSaysWhy)
{
    Events events;
    CFakeCables cables(events);
    cables.bOpens = false;
    CStepperDlg dlg;
    dlg.OfferCables(&cables);
    RunDialog(dlg, [&] {
        CCountedWaits waits;
        CBoxAnswerer answerer(dlg);
        Click(dlg, IDC_TEST_LOGIC_RESET);
        events.lines.clear();
        Pick(dlg, 1);
        ASSERT_EQ(1u, AnsweredBoxes().size());
        EXPECT_EQ("cable B is not there", AnsweredBoxes()[0].strText);
        EXPECT_EQ((std::vector<std::string>{"a write 0", "use b", "a write 16"}), events.lines);
        EXPECT_EQ((std::vector<std::string>{"a"}), Items(::GetDlgItem(dlg.m_hWnd, IDC_DEVICE)))
            << "closed, the name alone: the box is too narrow for more";
        // Released and taken again: no clock of it can be trusted to have left the TAP alone.
        EXPECT_EQ(-1, dlg.Tap().State());
    });
}

// Opened, then gone as its pins are first driven: said at once, not at the next click.
TEST(CableListTest, ACableLostAsItIsSwitchedOnIsSaid)
{
    Events events;
    CFakeCables cables(events);
    cables.B().strFailure = "cable B went away";
    CStepperDlg dlg;
    dlg.OfferCables(&cables);
    RunDialog(dlg, [&] {
        CCountedWaits waits;
        CBoxAnswerer answerer(dlg);
        Pick(dlg, 1);
        ASSERT_EQ(1u, AnsweredBoxes().size());
        EXPECT_NE(std::string::npos,
                  AnsweredBoxes()[0].strText.find("stopped answering as MORVA switched it on. cable B went away"))
            << AnsweredBoxes()[0].strText;
        EXPECT_EQ(-1, dlg.Tap().State());
    });
}

TEST(CableListTest, WithoutACableListTheListStaysAsDrawn)
{
    CStepperDlg dlg;
    RunDialog(dlg, [&] {
        const HWND hList = ::GetDlgItem(dlg.m_hWnd, IDC_DEVICE);
        EXPECT_FALSE(::IsWindowEnabled(hList));
        Click(dlg, IDC_DEVICE, CBN_DROPDOWN);
        Click(dlg, IDC_DEVICE, CBN_CLOSEUP);
        Pump();
        EXPECT_EQ(1, ::SendMessageA(hList, CB_GETCOUNT, 0, 0));
    });
}

} // namespace
