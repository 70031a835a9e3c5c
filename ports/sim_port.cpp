#include "sim_port.h"

#include "../cable/cable.h"
#include "../cable/port.h"

namespace {

class CSimPort : public CPort
{
public:
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

    // IDCODE and BYPASS, and a zero as long as the IDCODE register.
    std::vector<std::string> ExampleValues(bool bInstruction) const override
    {
        if (bInstruction)
            return {"4'b0010", "4'b1111"};
        return {"32'h0"};
    }

    CJtagDevice m_board;
    unsigned char m_data = 0;
};

CSimPort g_simPort;

} // namespace

CPort& SimulatedPort()
{
    return g_simPort;
}

CJtagDevice& SimulatedBoard()
{
    return g_simPort.m_board;
}

unsigned char SimulatedDataRegister()
{
    return g_simPort.m_data;
}
