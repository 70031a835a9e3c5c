// The BSDL files MORVA knows: those in the folders the person named, and files given one by
// one. A device is matched to a file by its IDCODE, the file's X bits matching anything.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Bsdl.h"

class CBsdlLibrary
{
public:
    // The folder's .bsd and .bsdl files are read at the first match after Rescan, not now.
    void AddFolder(const std::string& strFolder);
    // The folders are read again at the next match: a file put there since counts.
    void Rescan() { m_bFoldersRead = false; }
    // A file read now; false, with file:line and what was expected, where it cannot be read. A
    // file given again is read again, in the place of the first reading.
    bool AddFile(const std::string& strPath, std::string& strError);
    // The file given by AddFile under this path; null for none.
    std::shared_ptr<const BsdlFile> Given(const std::string& strPath) const;

    // The file whose IDCODE the device's is; null for none. Where several match, the first
    // given (a file before the folders, folders in the order given).
    std::shared_ptr<const BsdlFile> Match(uint32_t nIdcode);
    // The files that could not be read, one "file:line: what" each; said with the scan.
    const std::vector<std::string>& Problems();
    bool IsEmpty() const { return m_folders.empty() && m_files.empty(); }

private:
    void ReadFolders();

    std::vector<std::string> m_folders;
    std::vector<std::shared_ptr<const BsdlFile>> m_files;
    std::vector<std::string> m_problems;
    bool m_bFoldersRead = false;
};
