// The values sent with SEND-IR and SEND-DR, newest first, kept in the settings file for the next
// start: a section a list ([ir values], [dr values]), value1=... the newest.
#pragma once

#include <string>
#include <vector>

const size_t VALUE_LIST_LIMIT = 20;

class CValueList
{
public:
    // pszSection names the list's section in the file.
    explicit CValueList(const char* pszSection) : m_pszSection(pszSection) {}

    // The values kept in the file; the examples where it keeps none.
    void Load(const std::string& strIniPath, const std::vector<std::string>& examples);
    // Puts the value first, once (the same bits written another way count as the same value),
    // at most VALUE_LIST_LIMIT of them. False, with why, when the file could not be written:
    // the list still holds the value for this session.
    bool Remember(const std::string& strValue, std::string& strError);

    const std::vector<std::string>& Values() const { return m_values; }

private:
    bool Save(std::string& strError);

    const char* m_pszSection;
    bool m_bSaved = false;  // the file holds the list as it is
    std::string m_strIniPath;
    std::vector<std::string> m_values;
};
