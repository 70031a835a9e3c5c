// Files a test writes for itself: each in a folder of the test's own, as cases of other tests
// may run beside it.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "bsdl/Bsdl.h"

// The file written, its path given.
inline std::string WriteTemporary(const std::string& strName, const std::string& text)
{
    char folder[MAX_PATH];
    ::GetTempPathA(MAX_PATH, folder);
    const ::testing::TestInfo* pTest = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string strFolder = std::string(folder) + "morva-" + pTest->test_suite_name() + "." + pTest->name();
    ::CreateDirectoryA(strFolder.c_str(), nullptr);
    const std::string strPath = strFolder + "\\" + strName;
    HANDLE hFile = ::CreateFileA(strPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD dwWritten = 0;
    ::WriteFile(hFile, text.data(), static_cast<DWORD>(text.size()), &dwWritten, nullptr);
    ::CloseHandle(hFile);
    return strPath;
}

// The file, and its folder once empty.
inline void RemoveTemporary(const std::string& strPath)
{
    ::DeleteFileA(strPath.c_str());
    ::RemoveDirectoryA(strPath.substr(0, strPath.find_last_of("\\/")).c_str());
}

#ifdef MORVA_SOURCE_DIR
// A file of the source tree.
inline std::string SourceText(const std::string& strPath)
{
    std::string text, strError;
    EXPECT_TRUE(ReadTextFile(std::string(MORVA_SOURCE_DIR) + "/" + strPath, text, strError)) << strError;
    return text;
}

// The example board's netlist and its chips' BSDL files in the test's folder, as board.net,
// morva_io.bsd and morva_demo.bsd: their paths in that order.
inline std::vector<std::string> WriteExampleBoard()
{
    return {WriteTemporary("board.net", SourceText("examples/board/board.net")),
            WriteTemporary("morva_io.bsd", SourceText("examples/board/morva_io.bsd")),
            WriteTemporary("morva_demo.bsd", SourceText("examples/bsdl/morva_demo.bsd"))};
}
#endif
