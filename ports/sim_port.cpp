#include "sim_port.h"

#include "../cable/cable.h"
#include "../cable/port.h"

#include <string>
#include <utility>
#include <vector>

namespace {

class CSimPort : public CPort
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

} // namespace

CPort& SimulatedPort()
{
    return g_simPort;
}

CPort& SimulatedChainPort()
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
