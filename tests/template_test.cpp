// The main window's dialog template, read back from the program's own resources.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "dialog_runner.h"
#include "platform/codepage.h"
#include "res/resource.h"

namespace {

struct Control
{
    int nID;
    std::string strClass;
    std::string strText;
    short x, y, cx, cy;
    DWORD dwStyle;
};

const DWORD CHILD = WS_CHILD | WS_VISIBLE;
const DWORD HIDDEN = WS_CHILD;
const DWORD PUSH = CHILD | BS_PUSHBUTTON | WS_TABSTOP;
const DWORD ROW = CHILD | SS_LEFTNOWORDWRAP;
const DWORD DROPLIST = CHILD | CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP | WS_DISABLED;
// The value lists take typed values as well as picked ones.
const DWORD VALUE_LIST = CHILD | CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP;

const Control EXPECTED[] = {
    {1000, "Button", "TEST-LOGIC-RESET", 10, 10, 65, 15, PUSH},
    {1001, "Button", "RUN-TEST/IDLE", 10, 35, 65, 15, PUSH},
    {1002, "Button", "SELECT-DR", 90, 35, 65, 15, PUSH},
    {1003, "Button", "SELECT-IR", 170, 35, 65, 15, PUSH},
    {1004, "Button", "CAPTURE-DR", 90, 60, 65, 15, PUSH},
    {1005, "Button", "SHIFT-DR", 90, 80, 45, 15, PUSH},
    {1006, "Button", "EXIT1-DR", 90, 100, 45, 15, PUSH},
    {1036, "Button", "1", 135, 80, 20, 15, PUSH},
    {1037, "Button", "1", 135, 100, 20, 15, PUSH},
    {1007, "Button", "PAUSE-DR", 90, 120, 65, 15, PUSH},
    {1008, "Button", "EXIT2-DR", 90, 140, 65, 15, PUSH},
    {1009, "Button", "UPDATE-DR", 90, 165, 65, 15, PUSH},
    {1010, "Button", "CAPTURE-IR", 170, 60, 65, 15, PUSH},
    {1011, "Button", "SHIFT-IR", 170, 80, 45, 15, PUSH},
    {1012, "Button", "EXIT1-IR", 170, 100, 45, 15, PUSH},
    {1038, "Button", "1", 215, 80, 20, 15, PUSH},
    {1039, "Button", "1", 215, 100, 20, 15, PUSH},
    {1013, "Button", "PAUSE-IR", 170, 120, 65, 15, PUSH},
    {1014, "Button", "EXIT2-IR", 170, 140, 65, 15, PUSH},
    {1015, "Button", "UPDATE-IR", 170, 165, 65, 15, PUSH},
    {1025, "Button", "SEND-DR", 90, 205, 65, 15, PUSH | WS_DISABLED},
    {1026, "Button", "SEND-IR", 170, 205, 65, 15, PUSH | WS_DISABLED},
    {1023, "ComboBox", "", 90, 190, 65, 120, VALUE_LIST},
    {1024, "ComboBox", "", 170, 190, 65, 120, VALUE_LIST},
    {-1, "Button", "IDLE", 5, 0, 75, 55, CHILD | BS_GROUPBOX},
    {-1, "Button", "DATA", 85, 25, 75, 200, CHILD | BS_GROUPBOX},
    {-1, "Button", "INSTRUCTION", 165, 25, 75, 200, CHILD | BS_GROUPBOX},
    {1040, "Static", "MORVA Ver 0.0", 85, 5, 75, 15, CHILD | SS_CENTER | SS_CENTERIMAGE | SS_SUNKEN},
    {1042, "ComboBox", "", 165, 5, 70, 130, DROPLIST},
    {-1, "Static", "TMS", 5, 270, 15, 8, CHILD | SS_LEFT},
    {-1, "Static", "TDI", 5, 280, 15, 8, CHILD | SS_LEFT},
    {-1, "Static", "TDO", 5, 295, 15, 8, CHILD | SS_LEFT},
    {1028, "Static", "-", 20, 235, 220, 10, ROW},
    {1032, "Static", "-", 20, 245, 220, 10, ROW},
    {1033, "Static", "-", 20, 255, 220, 10, ROW},
    {1029, "Static", "-", 20, 270, 220, 10, ROW},
    {1030, "Static", "-", 20, 280, 220, 10, ROW},
    {1031, "Static", "-", 20, 296, 220, 10, ROW},
    {1027, "ListBox", "", 30, 60, 50, 153,
     CHILD | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | LBS_EXTENDEDSEL | WS_VSCROLL | WS_BORDER | WS_TABSTOP},
    {-1, "Static", "", 5, 230, 235, 1, CHILD | SS_ETCHEDHORZ},
    {-1, "Static", "", 90, 185, 65, 1, CHILD | SS_ETCHEDHORZ},
    {-1, "Static", "", 170, 185, 65, 1, CHILD | SS_ETCHEDHORZ},
    {1043, "Edit", "", 30, 215, 50, 14, CHILD | WS_BORDER | ES_AUTOHSCROLL | ES_READONLY},
    {1018, "Button", "TCK", 5, 155, 25, 15, HIDDEN | BS_PUSHBUTTON | WS_TABSTOP | WS_DISABLED},
    {1020, "Button", "TMS", 5, 170, 25, 15,
     HIDDEN | BS_AUTOCHECKBOX | BS_PUSHLIKE | WS_TABSTOP | WS_DISABLED},
    {1021, "Button", "TDI", 5, 185, 25, 15,
     HIDDEN | BS_AUTOCHECKBOX | BS_PUSHLIKE | WS_TABSTOP | WS_DISABLED},
    {1022, "Button", "TDO", 5, 205, 25, 15, HIDDEN | BS_CHECKBOX | BS_PUSHLIKE | WS_DISABLED},
};

// Reads a template's words in order.
class CTemplateReader
{
public:
    explicit CTemplateReader(const BYTE* p) : m_p(p), m_pStart(p) {}

    WORD Word() { return Read<WORD>(); }
    DWORD Dword() { return Read<DWORD>(); }
    short Short() { return Read<short>(); }
    BYTE Byte() { return Read<BYTE>(); }

    // A string, or an ordinal (returned as "#n"), or nothing.
    std::string StringOrOrdinal()
    {
        WORD first = Word();
        if (first == 0)
            return std::string();
        if (first == 0xFFFF)
            return "#" + std::to_string(Word());
        CWideText text(1, static_cast<WCHAR>(first));
        for (WORD w = Word(); w != 0; w = Word())
            text += static_cast<WCHAR>(w);
        return Utf8(text);
    }

    void AlignDword()
    {
        while ((m_p - m_pStart) % 4 != 0)
            ++m_p;
    }

    static std::string Utf8(const CWideText& text)
    {
        char buffer[512] = {};
        ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, buffer, sizeof(buffer), nullptr, nullptr);
        return buffer;
    }

private:
    template <class T>
    T Read()
    {
        T value;
        memcpy(&value, m_p, sizeof(T));
        m_p += sizeof(T);
        return value;
    }

    const BYTE* m_p;
    const BYTE* m_pStart;
};

std::string ClassName(const std::string& name)
{
    static const char* const ORDINALS[] = {"Button", "Edit", "Static", "ListBox", "ScrollBar", "ComboBox"};
    if (name.size() > 1 && name[0] == '#')
        return ORDINALS[std::stoi(name.substr(1)) - 0x80];
    // Class names are not case-sensitive; compare them in one spelling.
    for (const char* known : ORDINALS)
    {
        if (lstrcmpiA(known, name.c_str()) == 0)
            return known;
    }
    return name;
}

const BYTE* LoadTemplate(LPCSTR type, int nID)
{
    HMODULE hModule = ::GetModuleHandleA(nullptr);
    HRSRC hResource = ::FindResourceA(hModule, MAKEINTRESOURCEA(nID), type);
    return hResource != nullptr ? static_cast<const BYTE*>(::LockResource(::LoadResource(hModule, hResource)))
                                : nullptr;
}

} // namespace

TEST(TemplateTest, MainWindowTemplateHoldsEveryControlInOrder)
{
    const BYTE* p = LoadTemplate(MAKEINTRESOURCEA(5) /* RT_DIALOG */, IDD_MORVA_DIALOG);
    ASSERT_NE(nullptr, p);
    CTemplateReader reader(p);
    ASSERT_EQ(1, reader.Word());
    ASSERT_EQ(0xFFFF, reader.Word()) << "an extended template";
    reader.Dword();  // help ID
    EXPECT_EQ(static_cast<DWORD>(WS_EX_APPWINDOW), reader.Dword());
    EXPECT_EQ(static_cast<DWORD>(DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU),
              reader.Dword());
    const WORD nItems = reader.Word();
    EXPECT_EQ(0, reader.Short());
    EXPECT_EQ(0, reader.Short());
    EXPECT_EQ(243, reader.Short());
    EXPECT_EQ(309, reader.Short());
    EXPECT_EQ("", reader.StringOrOrdinal()) << "menu";
    EXPECT_EQ("", reader.StringOrOrdinal()) << "class";
    EXPECT_EQ("MORVA", reader.StringOrOrdinal());
    EXPECT_EQ(9, reader.Word());
    EXPECT_EQ(0, reader.Word()) << "weight";
    EXPECT_EQ(0, reader.Byte()) << "italic";
#ifdef __WINE__
    // wrc leaves the character set of a DIALOGEX font out (0).
    EXPECT_EQ(0, reader.Byte()) << "character set";
#else
    EXPECT_EQ(1, reader.Byte()) << "character set";
#endif
    EXPECT_EQ("ＭＳ Ｐゴシック", reader.StringOrOrdinal());

    ASSERT_EQ(std::size(EXPECTED), nItems);
    for (const Control& expected : EXPECTED)
    {
        reader.AlignDword();
        reader.Dword();  // help ID
        EXPECT_EQ(0u, reader.Dword()) << "extended style of " << expected.strText;
        Control actual;
        actual.dwStyle = reader.Dword();
        actual.x = reader.Short();
        actual.y = reader.Short();
        actual.cx = reader.Short();
        actual.cy = reader.Short();
        actual.nID = static_cast<int>(reader.Dword());
        actual.strClass = ClassName(reader.StringOrOrdinal());
        actual.strText = reader.StringOrOrdinal();
        const WORD nExtra = reader.Word();
        for (WORD i = 0; i < nExtra; ++i)
            reader.Byte();

        const std::string what = std::to_string(expected.nID) + " " + expected.strText;
        EXPECT_EQ(expected.nID, actual.nID) << what;
        EXPECT_EQ(expected.strClass, actual.strClass) << what;
        EXPECT_EQ(expected.strText, actual.strText) << what;
        EXPECT_EQ(expected.x, actual.x) << what;
        EXPECT_EQ(expected.y, actual.y) << what;
        EXPECT_EQ(expected.cx, actual.cx) << what;
        EXPECT_EQ(expected.cy, actual.cy) << what;
        EXPECT_EQ(expected.dwStyle, actual.dwStyle) << what;
    }
}

TEST(TemplateTest, DeviceListHoldsItsOneEntry)
{
    CStepperDlg dlg;
    RunDialog(dlg, [&] {
        HWND hCombo = ::GetDlgItem(dlg.m_hWnd, IDC_DEVICE);
        ASSERT_EQ(1, ::SendMessageA(hCombo, CB_GETCOUNT, 0, 0));
        WCHAR text[32] = {};
        ::SendMessageW(hCombo, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(text));
        // Stored in code page 932, shown as "JTAG選択" whatever the system's code page.
        const WCHAR expected[] = {'J', 'T', 'A', 'G', 0x9078, 0x629e, 0};
        EXPECT_EQ(CWideText(expected), CWideText(text));
        EXPECT_FALSE(::IsWindowEnabled(hCombo));
    });
}
