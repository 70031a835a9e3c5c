#include "ValueTip.h"

#include <commctrl.h>

CValueTip::~CValueTip()
{
    if (m_hTip != nullptr)
        ::DestroyWindow(m_hTip);
}

bool CValueTip::Create(HWND hOwner, HWND hField)
{
    ::InitCommonControls();
    m_hTip = ::CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hOwner, nullptr, ::GetModuleHandleA(nullptr),
                               nullptr);
    if (m_hTip == nullptr)
        return false;
    m_hOwner = hOwner;
    m_hField = hField;
    TOOLINFOA tool = {};
    // The first form of the structure: every version of the tips takes it.
    tool.cbSize = TTTOOLINFOA_V1_SIZE;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = hOwner;
    tool.uId = reinterpret_cast<UINT_PTR>(hField);
    tool.lpszText = const_cast<char*>("");
    ::SendMessageA(m_hTip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
    // Lines break where the text says: at most this wide, in pixels.
    ::SendMessageA(m_hTip, TTM_SETMAXTIPWIDTH, 0, 32767);
    // Shown as long as the mouse rests on the field.
    ::SendMessageA(m_hTip, TTM_SETDELAYTIME, TTDT_AUTOPOP, 32767);
    return true;
}

void CValueTip::SetText(const std::string& text)
{
    m_strShown.clear();
    for (size_t i = 0; i < text.size(); i += LINE_CHARS)
        m_strShown += (i == 0 ? "" : "\r\n") + text.substr(i, LINE_CHARS);
    if (m_hTip == nullptr)
        return;
    TOOLINFOA tool = {};
    tool.cbSize = TTTOOLINFOA_V1_SIZE;
    tool.hwnd = m_hOwner;
    tool.uId = reinterpret_cast<UINT_PTR>(m_hField);
    tool.lpszText = const_cast<char*>(m_strShown.c_str());
    ::SendMessageA(m_hTip, TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&tool));
    ::SendMessageA(m_hTip, TTM_ACTIVATE, m_strShown.empty() ? FALSE : TRUE, 0);
}
