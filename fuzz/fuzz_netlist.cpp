// A board's description: its netlist, KiCad's S-expression export or CSV, as ParseNetlist tells
// them apart, and each reader given the same text; a netlist read is planned and diagnosed for
// the example board's two chips, U1 and U2. Then the same text as a board file, and as the settings
// file whose [board] names the chips.
#include <memory>

#include "board/BoardFile.h"
#include "board/BoardTest.h"
#include "board/Netlist.h"

namespace {

void PlanAndDiagnose(const Netlist& netlist)
{
    // The example board's chips, read once.
    static std::shared_ptr<BsdlFile> s_pDemo, s_pIo;
    if (s_pDemo == nullptr)
    {
        s_pDemo = std::make_shared<BsdlFile>();
        s_pIo = std::make_shared<BsdlFile>();
        std::string strError;
        if (!ReadBsdlFile(MORVA_EXAMPLES "/bsdl/morva_demo.bsd", *s_pDemo, strError) ||
            !ReadBsdlFile(MORVA_EXAMPLES "/board/morva_io.bsd", *s_pIo, strError))
            __builtin_trap();
    }
    BoardPlan plan;
    std::string strError;
    if (!PlanBoardTest(netlist, {{"U1", 1, s_pDemo}, {"U2", 2, s_pIo}}, plan, strError))
        return;
    std::vector<std::vector<CBits>> captures;
    for (size_t k = 0; k < plan.Patterns() && k < 64; ++k)
    {
        std::vector<CBits> bits;
        if (!PatternBoundaries(plan, k, bits, strError))
            __builtin_trap();
        captures.push_back(bits);
    }
    if (captures.size() == plan.Patterns())
        DiagnoseBoard(plan, captures);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    const std::string text(reinterpret_cast<const char*>(pData), nSize);
    Netlist netlist;
    std::string strError;
    if (ParseNetlist(text, netlist, strError))
        PlanAndDiagnose(netlist);
    ParseKicadNetlist(text, netlist, strError);
    ParseCsvNetlist(text, netlist, strError);
    BoardFile board;
    ParseBoardFile(text, "board.ini", "boards/", false, board, strError);
    ParseBoardFile(text, "morva.ini", "", true, board, strError);
    LooksLikeBoardFile(text);
    return 0;
}
