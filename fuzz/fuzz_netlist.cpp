// A board's netlist: KiCad's S-expression export or CSV, as ParseNetlist tells them apart, and
// each reader given the same text.
#include "board/Netlist.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    const std::string text(reinterpret_cast<const char*>(pData), nSize);
    Netlist netlist;
    std::string strError;
    ParseNetlist(text, netlist, strError);
    ParseKicadNetlist(text, netlist, strError);
    ParseCsvNetlist(text, netlist, strError);
    return 0;
}
