// SVF files: read through and checked before any clock, then played on the simulated board, as
// --svf and the SVF window play them. A file may ask for hours of clocks or waiting; each input
// is stopped after a budget of both, as a person's STOP would.
#include <windows.h>

#include "ports/parallel_port.h"
#include "engine/TapEngine.h"
#include "fuzz_input.h"
#include "ports/sim_port.h"
#include "svf/SvfPlayer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    static const std::shared_ptr<CParallelCable> pCable = [] {
        std::shared_ptr<CParallelCable> pOn = CableOver(SimulatedChainPort());
        pOn->Switch(true);
        return pOn;
    }();
    const std::string strPath = InputFile(pData, nSize, "svf");
    CTapEngine engine(pCable.get());
    engine.SetPaced(false);
    CSvfPlayer player(engine, [](const std::string&) {});
    const DWORD dwStart = ::GetTickCount();
    player.SetStop([&] { return engine.Clocks() > 100000 || ::GetTickCount() - dwStart > 50; });
    SvfMismatch mismatch;
    std::string strError;
    if (player.PlayFile(strPath, mismatch, strError) == Ended::Differs)
        SvfTdoLines(mismatch.expected, mismatch.read, mismatch.mask, mismatch.nReadFrom);

    // Command by command, as the SVF window steps: the text read whole, each command begun and its
    // clocks made one at a time for the first few.
    CSvfReader reader;
    reader.OpenText(std::string(reinterpret_cast<const char*>(pData), nSize));
    SvfCommand command;
    CSvfPlayer stepper(engine, [](const std::string&) {});
    stepper.SetStop([&] { return engine.Clocks() > 200000 || ::GetTickCount() - dwStart > 100; });
    while (reader.Next(command, strError))
    {
        SvfCommandText(command);
        Outcome end = stepper.Begin(command, mismatch, strError);
        for (int i = 0; end == Ended::Done && stepper.InCommand() && i < 3; ++i)
            end = stepper.NextClock(mismatch);
        if (end == Ended::Done && stepper.InCommand())
            end = stepper.FinishCommand(mismatch, 10);
        if (end != Ended::Done)
            break;
    }
    return 0;
}
