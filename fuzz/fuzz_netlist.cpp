// A board's description: its netlist, KiCad's S-expression export or CSV, as ParseNetlist tells
// them apart, and each reader given the same text; then the same text as a board file, and as
// the settings file whose [board] names the chips.
#include "board/BoardFile.h"
#include "board/Netlist.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    const std::string text(reinterpret_cast<const char*>(pData), nSize);
    Netlist netlist;
    std::string strError;
    ParseNetlist(text, netlist, strError);
    ParseKicadNetlist(text, netlist, strError);
    ParseCsvNetlist(text, netlist, strError);
    BoardFile board;
    ParseBoardFile(text, "board.ini", "boards/", false, board, strError);
    ParseBoardFile(text, "morva.ini", "", true, board, strError);
    LooksLikeBoardFile(text);
    return 0;
}
