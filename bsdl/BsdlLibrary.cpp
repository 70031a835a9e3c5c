#include "BsdlLibrary.h"

#include <windows.h>

#include <algorithm>
#include <cctype>

namespace {

bool IsBsdlName(std::string strName)
{
    for (char& c : strName)
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    const auto endsWith = [&](const char* pszEnd) {
        const std::string end = pszEnd;
        return strName.size() > end.size() && strName.compare(strName.size() - end.size(), end.size(), end) == 0;
    };
    return endsWith(".bsd") || endsWith(".bsdl");
}

} // namespace

void CBsdlLibrary::AddFolder(const std::string& strFolder)
{
    if (!strFolder.empty() && std::find(m_folders.begin(), m_folders.end(), strFolder) == m_folders.end())
    {
        m_folders.push_back(strFolder);
        m_bFoldersRead = false;
    }
}

bool CBsdlLibrary::AddFile(const std::string& strPath, std::string& strError)
{
    auto pFile = std::make_shared<BsdlFile>();
    if (!ReadBsdlFile(strPath, *pFile, strError))
        return false;
    m_files.erase(std::remove_if(m_files.begin(), m_files.end(),
                                 [&](const std::shared_ptr<const BsdlFile>& pKnown) {
                                     return !pKnown->bFromFolder && pKnown->strPath == strPath;
                                 }),
                  m_files.end());
    m_files.insert(m_files.begin(), pFile);
    return true;
}

std::shared_ptr<const BsdlFile> CBsdlLibrary::Given(const std::string& strPath) const
{
    for (const std::shared_ptr<const BsdlFile>& pFile : m_files)
    {
        if (!pFile->bFromFolder && pFile->strPath == strPath)
            return pFile;
    }
    return nullptr;
}

void CBsdlLibrary::ReadFolders()
{
    if (m_bFoldersRead)
        return;
    m_bFoldersRead = true;
    m_problems.clear();
    // Files given one by one stay first; the folders' files are read afresh.
    m_files.erase(std::remove_if(m_files.begin(), m_files.end(),
                                 [](const std::shared_ptr<const BsdlFile>& pFile) { return pFile->bFromFolder; }),
                  m_files.end());
    for (const std::string& strFolder : m_folders)
    {
        const char cSeparator = strFolder.find('/') != std::string::npos ? '/' : '\\';
        const std::string strBase =
            strFolder.back() == '/' || strFolder.back() == '\\' ? strFolder : strFolder + cSeparator;
        WIN32_FIND_DATAA found;
        HANDLE hFind = ::FindFirstFileA((strBase + "*").c_str(), &found);
        if (hFind == INVALID_HANDLE_VALUE)
            continue;
        std::vector<std::string> names;
        do
        {
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && IsBsdlName(found.cFileName))
                names.push_back(found.cFileName);
        } while (::FindNextFileA(hFind, &found) != FALSE);
        ::FindClose(hFind);
        std::sort(names.begin(), names.end());
        for (const std::string& strName : names)
        {
            auto pFile = std::make_shared<BsdlFile>();
            std::string strError;
            if (ReadBsdlFile(strBase + strName, *pFile, strError))
            {
                pFile->bFromFolder = true;
                m_files.push_back(pFile);
            }
            else
                m_problems.push_back(strError);
        }
    }
}

std::shared_ptr<const BsdlFile> CBsdlLibrary::Match(uint32_t nIdcode)
{
    ReadFolders();
    for (const auto& pFile : m_files)
    {
        if (pFile->MatchesIdcode(nIdcode))
            return pFile;
    }
    return nullptr;
}

const std::vector<std::string>& CBsdlLibrary::Problems()
{
    ReadFolders();
    return m_problems;
}
