// ARM's debug-probe protocol, CMSIS-DAP, as its documentation gives the commands MORVA uses: the
// probe's information (DAP_Info), JTAG mode (DAP_Connect, DAP_Disconnect), the clock
// (DAP_SWJ_Clock), the pins held by hand (DAP_SWJ_Pins), and runs of clocks as DAP_JTAG_Sequence
// commands filled into the probe's packets, with the TDO picked out of the answers. Every answer
// is checked before a byte of it is used: the command echoed, the status, the length.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "../tap/Bits.h"

namespace dap {

// Command bytes.
constexpr uint8_t INFO = 0x00;
constexpr uint8_t CONNECT = 0x02;
constexpr uint8_t DISCONNECT = 0x03;
constexpr uint8_t SWJ_PINS = 0x10;
constexpr uint8_t SWJ_CLOCK = 0x11;
constexpr uint8_t JTAG_SEQUENCE = 0x14;
// A command the probe does not know is answered with this in place of its byte; as a status,
// the command failed.
constexpr uint8_t STATUS_ERROR = 0xFF;
constexpr uint8_t STATUS_OK = 0x00;

// DAP_Info's questions, and the capability bit that says the probe does JTAG.
constexpr uint8_t INFO_CAPABILITIES = 0xF0;
constexpr uint8_t INFO_PACKET_COUNT = 0xFE;
constexpr uint8_t INFO_PACKET_SIZE = 0xFF;
constexpr uint8_t CAPABILITY_JTAG = 0x02;

// DAP_Connect's port: JTAG.
constexpr uint8_t PORT_JTAG = 2;

// DAP_SWJ_Pins' bits.
constexpr uint8_t PIN_TCK = 0x01;
constexpr uint8_t PIN_TMS = 0x02;
constexpr uint8_t PIN_TDI = 0x04;
constexpr uint8_t PIN_TDO = 0x08;
constexpr uint8_t PIN_NTRST = 0x20;
constexpr uint8_t PIN_NRESET = 0x80;

// A sequence's info byte: its clocks in the low six bits (64 written 0), TMS, TDO captured.
constexpr uint8_t SEQUENCE_TMS = 0x40;
constexpr uint8_t SEQUENCE_CAPTURE = 0x80;
constexpr size_t SEQUENCE_MOST_CLOCKS = 64;
constexpr size_t SEQUENCES_MOST = 255;

// The smallest packet the protocol allows, the size a probe is first spoken to with.
constexpr size_t LEAST_PACKET = 64;
// The largest packet the protocol allows.
constexpr size_t MOST_PACKET = 32768;

} // namespace dap

// The commands, as their bytes.
std::vector<uint8_t> DapInfoCommand(uint8_t id);
std::vector<uint8_t> DapConnectJtag();
std::vector<uint8_t> DapDisconnect();
std::vector<uint8_t> DapClockCommand(uint32_t nHz);
// The selected pins set to the levels in output, no wait; select 0 reads the pins alone.
std::vector<uint8_t> DapPinsCommand(uint8_t output, uint8_t select);

// Whether the answer is the probe's to this command: the command's byte echoed, at least
// nLeast bytes, and, where the command answers a status (DAP_Disconnect, DAP_SWJ_Clock,
// DAP_JTAG_Sequence), DAP_OK. False with why, in words a person can act on.
bool DapAnswerFits(const std::vector<uint8_t>& command, const std::vector<uint8_t>& answer, size_t nLeast,
                   std::string& strError);
// DAP_Info's answer as a number (a BYTE or a SHORT, low byte first); false with why where its
// length does not fit the answer or a number.
bool DapInfoNumber(const std::vector<uint8_t>& answer, unsigned& nValue, std::string& strError);

// A run of clocks as DAP_JTAG_Sequence commands, each filled to the packet size (its answer
// too), TMS steady in each sequence of up to 64 clocks, TDO captured in a sequence where any of
// its clocks is read.
struct DapSequencePacket
{
    std::vector<uint8_t> command;
    size_t nAnswerBytes = 0;  // the answer's length: command, status, the TDO captured
    struct Sequence
    {
        size_t nFirst;
        size_t nClocks;
        bool bCapture;
    };
    std::vector<Sequence> sequences;
};
std::vector<DapSequencePacket> DapSequencePackets(const CBits& tms, const CBits& tdi, const CBits& read,
                                                   size_t nPacketSize);
// The TDO of every clock of the packet whose read bit is set, added to tdo from its answer,
// which DapAnswerFits has passed at the packet's answer length.
void DapSequenceTdo(const DapSequencePacket& packet, const CBits& read, const std::vector<uint8_t>& answer,
                    CBits& tdo);
