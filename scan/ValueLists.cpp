#include "ValueLists.h"

#include <windows.h>

#include "../platform/profile.h"
#include "../tap/ScanValue.h"

namespace {

// Longer than any value: 4096 binary digits with a separator after each.
const size_t VALUE_TEXT_LIMIT = 16384;

std::string Key(size_t nIndex)
{
    return "value" + std::to_string(nIndex + 1);
}

bool SameValue(const std::string& strA, const std::string& strB)
{
    CBits a, b;
    std::string strError;
    if (!ParseScanValue(strA, a, strError) || !ParseScanValue(strB, b, strError))
        return strA == strB;
    return a == b;
}

} // namespace

void CValueList::Load(const std::string& strIniPath, const std::vector<std::string>& examples)
{
    m_strIniPath = strIniPath;
    m_values.clear();
    for (size_t i = 0; !strIniPath.empty() && i < VALUE_LIST_LIMIT; ++i)
    {
        std::string value;
        CBits bits;
        std::string strError;
        // A line too long to be read whole, or edited by hand into something that is no value,
        // is left out rather than offered as another value.
        if (ReadProfileValue(strIniPath, m_pszSection, Key(i).c_str(), VALUE_TEXT_LIMIT, value) && !value.empty() &&
            ParseScanValue(value, bits, strError))
            m_values.push_back(TrimValue(value));
    }
    m_bSaved = !m_values.empty();
    if (m_values.empty())
        m_values = examples;
}

bool CValueList::Remember(const std::string& strValue, std::string& strError)
{
    const std::string strText = TrimValue(strValue);
    const std::vector<std::string> before = m_values;
    for (auto it = m_values.begin(); it != m_values.end();)
        it = SameValue(*it, strText) ? m_values.erase(it) : it + 1;
    m_values.insert(m_values.begin(), strText);
    if (m_values.size() > VALUE_LIST_LIMIT)
        m_values.resize(VALUE_LIST_LIMIT);
    // The same value sent again changes nothing to keep.
    return (m_bSaved && m_values == before) || Save(strError);
}

bool CValueList::Save(std::string& strError)
{
    if (m_strIniPath.empty())
        return true;
    // The whole section in one write: "value1=...", "value2=...", each ended by a NUL, then a NUL.
    std::string strSection;
    for (size_t i = 0; i < m_values.size(); ++i)
        strSection += Key(i) + "=" + m_values[i] + '\0';
    strSection += '\0';
    m_bSaved = WriteProfileSectionText(m_strIniPath, m_pszSection, strSection, strError);
    return m_bSaved;
}
