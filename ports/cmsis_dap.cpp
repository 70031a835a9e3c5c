#include "cmsis_dap.h"

#include <algorithm>
#include <cstdio>

namespace {

std::string Hex(uint8_t value)
{
    char text[8];
    snprintf(text, sizeof(text), "0x%02X", value);
    return text;
}

bool AnswersStatus(uint8_t command)
{
    return command == dap::DISCONNECT || command == dap::SWJ_CLOCK || command == dap::JTAG_SEQUENCE;
}

size_t BytesOf(size_t nBits)
{
    return (nBits + 7) / 8;
}

} // namespace

std::vector<uint8_t> DapInfoCommand(uint8_t id)
{
    return {dap::INFO, id};
}

std::vector<uint8_t> DapConnectJtag()
{
    return {dap::CONNECT, dap::PORT_JTAG};
}

std::vector<uint8_t> DapDisconnect()
{
    return {dap::DISCONNECT};
}

std::vector<uint8_t> DapClockCommand(uint32_t nHz)
{
    return {dap::SWJ_CLOCK, static_cast<uint8_t>(nHz), static_cast<uint8_t>(nHz >> 8), static_cast<uint8_t>(nHz >> 16),
            static_cast<uint8_t>(nHz >> 24)};
}

std::vector<uint8_t> DapPinsCommand(uint8_t output, uint8_t select)
{
    return {dap::SWJ_PINS, output, select, 0, 0, 0, 0};
}

bool DapAnswerFits(const std::vector<uint8_t>& command, const std::vector<uint8_t>& answer, size_t nLeast,
                   std::string& strError)
{
    const uint8_t id = command.empty() ? 0 : command[0];
    if (answer.empty())
    {
        strError = "The CMSIS-DAP probe answered command " + Hex(id) + " with an empty packet.";
        return false;
    }
    if (answer[0] != id)
    {
        strError = answer[0] == dap::STATUS_ERROR
                       ? "The CMSIS-DAP probe does not know command " + Hex(id) + " (it answered DAP_ERROR)."
                       : "The CMSIS-DAP probe answered command " + Hex(id) + " as if it were " + Hex(answer[0]) +
                             ": its answers are out of step with MORVA's commands.";
        return false;
    }
    const size_t nNeeded = std::max<size_t>(nLeast, AnswersStatus(id) ? 2 : 1);
    if (answer.size() < nNeeded)
    {
        strError = "The CMSIS-DAP probe's answer to command " + Hex(id) + " was " + std::to_string(answer.size()) +
                   " bytes long where " + std::to_string(nNeeded) + " were due.";
        return false;
    }
    if (AnswersStatus(id) && answer[1] != dap::STATUS_OK)
    {
        strError = "The CMSIS-DAP probe refused command " + Hex(id) + " (status " + Hex(answer[1]) + ").";
        return false;
    }
    return true;
}

bool DapInfoNumber(const std::vector<uint8_t>& answer, unsigned& nValue, std::string& strError)
{
    // The command, the length, then a BYTE or a SHORT.
    const size_t nLength = answer.size() >= 2 ? answer[1] : 0;
    if ((nLength != 1 && nLength != 2) || answer.size() < 2 + nLength)
    {
        strError = "The CMSIS-DAP probe's DAP_Info answer holds no number (" + std::to_string(nLength) + " bytes).";
        return false;
    }
    nValue = answer[2] | (nLength == 2 ? static_cast<unsigned>(answer[3]) << 8 : 0);
    return true;
}

std::vector<DapSequencePacket> DapSequencePackets(const CBits& tms, const CBits& tdi, const CBits& read,
                                                   size_t nPacketSize)
{
    std::vector<DapSequencePacket> packets;
    DapSequencePacket* pPacket = nullptr;
    for (size_t nFirst = 0; nFirst < tms.size();)
    {
        // The clocks TMS holds still for, up to a sequence's most.
        size_t nClocks = 1;
        while (nClocks < dap::SEQUENCE_MOST_CLOCKS && nFirst + nClocks < tms.size() &&
               tms[nFirst + nClocks] == tms[nFirst])
            ++nClocks;
        const bool bCapture = read.AnySet(nFirst, nClocks);
        // What room the packet has left, in clocks, for its command and for its answer.
        size_t nRoom = 0;
        if (pPacket != nullptr && pPacket->sequences.size() < dap::SEQUENCES_MOST)
        {
            const size_t nCommandRoom = nPacketSize - std::min(nPacketSize, pPacket->command.size() + 1);
            const size_t nAnswerRoom = nPacketSize - std::min(nPacketSize, pPacket->nAnswerBytes);
            nRoom = std::min(nCommandRoom, bCapture ? nAnswerRoom : nCommandRoom) * 8;
        }
        if (nRoom == 0)
        {
            packets.emplace_back();
            pPacket = &packets.back();
            pPacket->command = {dap::JTAG_SEQUENCE, 0};
            pPacket->nAnswerBytes = 2;
            continue;
        }
        // A sequence that does not fit whole is split: the packet is filled, the rest goes on.
        nClocks = std::min(nClocks, nRoom);
        const bool bReads = read.AnySet(nFirst, nClocks);
        pPacket->command.push_back(static_cast<uint8_t>((nClocks & 0x3F) | (tms[nFirst] ? dap::SEQUENCE_TMS : 0) |
                                                        (bReads ? dap::SEQUENCE_CAPTURE : 0)));
        const CBits bits = tdi.Slice(nFirst, nClocks);
        pPacket->command.insert(pPacket->command.end(), bits.Bytes(), bits.Bytes() + BytesOf(nClocks));
        pPacket->command[1] = static_cast<uint8_t>(pPacket->sequences.size() + 1);
        if (bReads)
            pPacket->nAnswerBytes += BytesOf(nClocks);
        pPacket->sequences.push_back({nFirst, nClocks, bReads});
        nFirst += nClocks;
    }
    return packets;
}

void DapSequenceTdo(const DapSequencePacket& packet, const CBits& read, const std::vector<uint8_t>& answer, CBits& tdo)
{
    size_t nAt = 2;
    for (const DapSequencePacket::Sequence& sequence : packet.sequences)
    {
        if (!sequence.bCapture)
            continue;
        for (size_t i = 0; i < sequence.nClocks; ++i)
        {
            if (read[sequence.nFirst + i])
                tdo.push_back((answer[nAt + i / 8] >> (i % 8) & 1) != 0);
        }
        nAt += BytesOf(sequence.nClocks);
    }
}
