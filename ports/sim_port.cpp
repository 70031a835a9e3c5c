#include "sim_port.h"

#include "../bsdl/BoundaryPins.h"



#include <string>
#include <utility>
#include <vector>

namespace {

class CSimPort : public CParallelPort
{
public:
    CSimPort() = default;
    CSimPort(const std::vector<SimTap>& chain, std::vector<std::string> irExamples, std::vector<std::string> drExamples)
        : m_board(chain), m_irExamples(std::move(irExamples)), m_drExamples(std::move(drExamples))
    {
    }

    void Write(unsigned short address, unsigned char value) override
    {
        if (address == DATA_PORT)
        {
            m_data = value;
            m_board.WriteData(value);
        }
    }

    unsigned char Read(unsigned short address) override
    {
        // An unused I/O address reads as a floating bus.
        return address == STATUS_PORT ? m_board.ReadStatus() : 0xFF;
    }

    std::string Description() const override { return "simulated board"; }

    std::vector<std::string> ExampleValues(bool bInstruction) const override
    {
        return bInstruction ? m_irExamples : m_drExamples;
    }

    CJtagDevice m_board;
    unsigned char m_data = 0;
    // IDCODE and BYPASS, and a zero as long as the IDCODE register.
    std::vector<std::string> m_irExamples{"4'b0010", "4'b1111"};
    std::vector<std::string> m_drExamples{"32'h0"};
};

CSimPort g_simPort;

// Makers' codes from JEP106 (Xilinx, Lattice); the part numbers are made up.
CSimPort g_simChainPort({{4, 0x1, 0x2, 0x1ABCD093}, {6, 0x1, 0x2, 0x35678043}, {8, 0x5, 0x2, 0}},
                        // every IR in BYPASS; after a reset, the BYPASS bit and both IDCODEs
                        {"18'h3FFFF"}, {"65'h0"});

CJtagDevice* g_pBsdlChip = nullptr;

uint32_t PatternValue(const std::string& strPattern)
{
    uint32_t nValue = 0;
    const CBits bits = PatternBits(strPattern);
    for (size_t i = 0; i < bits.size() && i < 32; ++i)
        nValue |= static_cast<uint32_t>(bits[i] ? 1 : 0) << i;
    return nValue;
}

// The chip the file describes: its IR, its opcodes, its IDCODE (X bits as 0) and its boundary
// register. False, with why, for a file the board cannot be.
bool SimulateChip(const BsdlFile& file, SimTap& tap, SimBoundary& boundary, std::string& strError)
{
    if (file.nIrLength > 32)
    {
        strError = file.strPath + ": the simulated board takes IRs of up to 32 bits; " + file.strEntity + "'s has " +
                   std::to_string(file.nIrLength) + ".";
        return false;
    }
    const BsdlInstruction* pIdcode = file.Instruction("IDCODE");
    tap.nIrLength = static_cast<int>(file.nIrLength);
    tap.nIrCapture = PatternValue(file.strIrCapture);
    tap.nIdcode = file.strIdcode.empty() || pIdcode == nullptr ? 0 : PatternValue(file.strIdcode);
    tap.nIrIdcode = tap.nIdcode != 0 ? PatternValue(pIdcode->opcodes.front()) : 0;
    boundary.nUsercode = file.strUsercode.empty() ? 0 : PatternValue(file.strUsercode);
    for (const BsdlInstruction& instruction : file.instructions)
    {
        SimRegister reg = SimRegister::Data;
        if (instruction.strRegister == "BOUNDARY")
            reg = instruction.strName == "EXTEST" ? SimRegister::Extest : SimRegister::Boundary;
        else if (instruction.strRegister == "DEVICE_ID")
            reg = instruction.strName == "USERCODE" ? SimRegister::Usercode : SimRegister::Idcode;
        else if (instruction.strRegister == "BYPASS" || instruction.strRegister.empty())
            reg = SimRegister::Bypass;
        for (const std::string& opcode : instruction.opcodes)
            boundary.instructions.push_back({PatternValue(opcode), reg, file.RegisterLength(instruction)});
    }
    for (const BsdlCell& cell : file.cells)
    {
        SimCell sim = {SimCell::Internal, cell.nControl, false, -1, cell.strCell == "BC_1"};
        switch (cell.function)
        {
        case BsdlFunction::Input:
        case BsdlFunction::Clock:
        case BsdlFunction::ObserveOnly:
            sim.kind = SimCell::Input;
            break;
        case BsdlFunction::Output2:
        case BsdlFunction::Output3:
            sim.kind = SimCell::Output;
            break;
        case BsdlFunction::Bidir:
            sim.kind = SimCell::Bidir;
            break;
        case BsdlFunction::Control:
        case BsdlFunction::ControlR:
            sim.kind = SimCell::Control;
            break;
        default:
            break;
        }
        boundary.cells.push_back(sim);
    }
    // A control cell's disable value is the one its outputs name; an input reads the pin its
    // output cell drives.
    for (const BsdlCell& cell : file.cells)
    {
        if (cell.nControl >= 0)
            boundary.cells[cell.nControl].bDisable = cell.cDisable == '1';
    }
    for (const BoundaryPin& pin : BoundaryPins(file))
    {
        if (pin.nInput >= 0 && pin.nOutput >= 0 && pin.nInput != pin.nOutput)
            boundary.cells[pin.nInput].nDrivenBy = pin.nOutput;
    }
    return true;
}

class CBsdlSimPort : public CSimPort
{
public:
    explicit CBsdlSimPort(std::string strPath) : m_strPath(std::move(strPath)) {}

    bool IsAccessible() override
    {
        if (m_bOpened)
            return m_strProblem.empty();
        m_bOpened = true;
        BsdlFile file;
        SimTap tap = {};
        SimBoundary boundary;
        if (!ReadBsdlFile(m_strPath, file, m_strProblem) || !SimulateChip(file, tap, boundary, m_strProblem))
            return false;
        m_board = CJtagDevice({tap});
        m_board.SetBoundary(0, boundary);
        m_strEntity = file.strEntity;
        // IDCODE and BYPASS as numbers; the register lengths in zeros.
        m_irExamples.clear();
        for (const char* pszName : {"IDCODE", "BYPASS"})
        {
            if (const BsdlInstruction* pInstruction = file.Instruction(pszName))
                m_irExamples.push_back(std::to_string(file.nIrLength) + "'b" + pInstruction->opcodes.front());
        }
        m_drExamples = {"32'h0", std::to_string(file.nBoundaryLength) + "'h0"};
        g_pBsdlChip = &m_board;
        return true;
    }
    bool IsCheckedEverywhere() const override { return true; }
    std::string AccessProblem() const override { return m_strProblem; }
    std::string Description() const override { return "simulated " + m_strEntity; }
    ~CBsdlSimPort() override
    {
        if (g_pBsdlChip == &m_board)
            g_pBsdlChip = nullptr;
    }

private:
    std::string m_strPath;
    std::string m_strEntity;
    std::string m_strProblem;
    bool m_bOpened = false;
};

} // namespace

std::shared_ptr<CParallelPort> MakeBsdlSimulatedPort(const std::string& strPath)
{
    return std::make_shared<CBsdlSimPort>(strPath);
}

CJtagDevice* SimulatedBsdlChip()
{
    return g_pBsdlChip;
}

CParallelPort& SimulatedPort()
{
    return g_simPort;
}

CParallelPort& SimulatedChainPort()
{
    return g_simChainPort;
}

CJtagDevice& SimulatedBoard()
{
    return g_simPort.m_board;
}

CJtagDevice& SimulatedChainBoard()
{
    return g_simChainPort.m_board;
}

unsigned char SimulatedDataRegister()
{
    return g_simPort.m_data;
}
