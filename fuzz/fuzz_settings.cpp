// The settings file (morva.ini) as the program reads it: the cable, the chain's IR lengths, the
// BSDL folders, the FTDI pin map and the IR lengths kept for a chain.
#include "app/CableOptions.h"
#include "chain/KeptIrLengths.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    const std::string strPath = InputFile(pData, nSize, "ini");
    std::string strError;
    SettingsCable(strPath);
    std::vector<int> irLengths;
    ReadChainSettings(strPath, irLengths, strError);
    SettingsBsdlFolders(strPath);
    FtdiPinMap map;
    ReadFtdiSettings(strPath, map, strError);
    std::string strLengths;
    FindKeptIrLengths(strPath, "sim:chain 0x1234567F 0x8765432F -", strLengths);
    return 0;
}
