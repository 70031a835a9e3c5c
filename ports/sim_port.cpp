#include "sim_port.h"

#include "../board/BoardFile.h"
#include "../board/Netlist.h"
#include "../bsdl/BoundaryPins.h"
#include "../simboard/board_nets.h"

#include <string>
#include <unordered_map>
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
CJtagDevice* g_pBoard = nullptr;

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

// A simulated board made from files when first opened: IsAccessible is false, with the files'
// problem, where they cannot be read or simulated. ppShown: where the last one opened is kept.
class CFileSimPort : public CSimPort
{
public:
    CFileSimPort(std::string strPath, CJtagDevice** ppShown) : m_strPath(std::move(strPath)), m_ppShown(ppShown) {}
    ~CFileSimPort() override
    {
        if (*m_ppShown == &m_board)
            *m_ppShown = nullptr;
    }

    bool IsAccessible() override
    {
        if (!m_bOpened)
        {
            m_bOpened = true;
            if (Build())
                *m_ppShown = &m_board;
            else if (m_strProblem.empty())
                m_strProblem = m_strPath + ": the board cannot be simulated.";
        }
        return m_strProblem.empty();
    }
    bool IsCheckedEverywhere() const override { return true; }
    std::string AccessProblem() const override { return m_strProblem; }

protected:
    // The board made from the file; false, with m_strProblem said, where it cannot be.
    virtual bool Build() = 0;
    bool Fail(const std::string& strProblem)
    {
        m_strProblem = strProblem;
        return false;
    }

    std::string m_strPath;
    std::string m_strProblem;

private:
    CJtagDevice** m_ppShown;
    bool m_bOpened = false;
};

class CBsdlSimPort : public CFileSimPort
{
public:
    explicit CBsdlSimPort(std::string strPath) : CFileSimPort(std::move(strPath), &g_pBsdlChip) {}
    std::string Description() const override { return "simulated " + m_strEntity; }

private:
    bool Build() override
    {
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
        return true;
    }

    std::string m_strEntity;
};

// A board of chips as their BSDL files describe them, on the chain in the board file's order,
// their pins joined as the netlist says, with the faults the file plants.
class CBoardSimPort : public CFileSimPort
{
    // What joins the chips' pins, with the faults in it.
    CSimNets m_nets;

    bool Build() override
    {
        BoardFile board;
        Netlist netlist;
        if (!ReadBoardDescription(m_strPath, {}, std::string(), board, netlist, m_strProblem))
            return false;
        if (board.nChainLength == 0)
            return Fail(m_strPath + ": a simulated board needs chain= under [board].");
        std::vector<SimTap> taps(board.nChainLength);
        std::vector<SimBoundary> boundaries(board.nChainLength);
        std::vector<std::vector<BoundaryPin>> pins(board.nChainLength);
        std::unordered_map<std::string, size_t> chips;  // by ref
        for (const std::pair<std::string, size_t>& ref : board.refs)
        {
            const size_t nDevice = ref.second - 1;
            BsdlFile file;
            if (board.BsdlOf(ref.first).empty())
                return Fail(m_strPath + ": " + ref.first + " has no BSDL file under [bsdl].");
            if (!ReadBsdlFile(board.BsdlOf(ref.first), file, m_strProblem) ||
                !SimulateChip(file, taps[nDevice], boundaries[nDevice], m_strProblem))
                return false;
            pins[nDevice] = BoundaryPins(file);
            chips.emplace(UpperCase(ref.first), nDevice);
        }
        m_board = CJtagDevice(taps);
        for (size_t i = 0; i < taps.size(); ++i)
            m_board.SetBoundary(i, boundaries[i]);
        // Each scan pin on a net, by "REF.PIN" for the faults.
        std::unordered_map<std::string, size_t> netOf, pinOf;
        for (const Net& net : netlist.nets)
        {
            const size_t nNet = m_nets.AddNet();
            netOf.emplace(net.name, nNet);
            for (const NetNode& node : net.nodes)
            {
                const auto chip = chips.find(UpperCase(node.ref));
                if (chip == chips.end())
                    continue;
                const int nPin = FindPin(pins[chip->second], node.pin);
                if (nPin < 0)
                    continue;
                const BoundaryPin& pin = pins[chip->second][static_cast<size_t>(nPin)];
                pinOf.emplace(UpperCase(node.ref + "." + node.pin),
                              m_nets.AddPin(nNet, {chip->second, pin.nInput, pin.nOutput}));
            }
        }
        for (const PlantedFault& fault : board.faults)
        {
            const std::string at = m_strPath + ":" + std::to_string(fault.nLine) + ": ";
            if (fault.kind == PlantedKind::Open)
            {
                const auto pin = pinOf.find(UpperCase(fault.names[0]));
                if (pin == pinOf.end())
                    return Fail(at + fault.names[0] + " is no boundary-scan pin on a net of " + board.netlist + ".");
                m_nets.Lift(pin->second);
                continue;
            }
            std::vector<size_t> nets;
            for (const std::string& name : fault.names)
            {
                const auto net = netOf.find(name);
                if (net == netOf.end())
                    return Fail(at + board.netlist + " has no net " + name + ".");
                nets.push_back(net->second);
            }
            if (fault.kind == PlantedKind::Short)
                m_nets.Short(nets[0], nets[1], fault.bOr);
            else if (fault.kind == PlantedKind::Stuck0 || fault.kind == PlantedKind::Stuck1)
                m_nets.Stick(nets[0], fault.kind == PlantedKind::Stuck1);
            else
                m_nets.Pull(nets[0], fault.kind == PlantedKind::Pullup);
        }
        m_nets.Wire(m_board);
        m_irExamples = {"4'b1111"};
        m_drExamples = {"32'h0"};
        return true;
    }

public:
    explicit CBoardSimPort(std::string strPath) : CFileSimPort(std::move(strPath), &g_pBoard) {}
    std::string Description() const override { return "simulated board from " + m_strPath; }
};

} // namespace

std::shared_ptr<CParallelPort> MakeBoardSimulatedPort(const std::string& strPath)
{
    return std::make_shared<CBoardSimPort>(strPath);
}

std::shared_ptr<CParallelPort> MakeBsdlSimulatedPort(const std::string& strPath)
{
    return std::make_shared<CBsdlSimPort>(strPath);
}

CJtagDevice* SimulatedBoardChips()
{
    return g_pBoard;
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
