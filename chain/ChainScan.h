// What is on the cable's chain: how many TAPs, each one's IR length and IDCODE, found by clocks
// through the engine, each one recorded as a click's is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "../bsdl/Bsdl.h"
#include "../engine/TapEngine.h"

class CTapEngine;
class CBsdlLibrary;

const size_t MAX_CHAIN_DEVICES = 32;

struct ChainDevice
{
    int nIrLength = 0;     // 0: the scan cannot tell it
    bool bIdcode = false;  // false: after a reset the device shows BYPASS, not an IDCODE
    uint32_t nIdcode = 0;
    std::shared_ptr<const BsdlFile> pBsdl;  // its BSDL file; null: none known
};

struct ChainScan
{
    std::vector<ChainDevice> devices;  // device 1, whose TDI is the cable's, first
    std::string strProblem;            // what kept devices or lengths from being told; empty: all told
    std::vector<std::string> bsdlProblems;  // BSDL files not read, or not taken for the device they name
    CBits irCapture;                        // what the chain's IRs captured, the TDO side's first
};

// The bits below are as TDO gave them, the first out first.

// A path of ones and then one zero was sent after nOnes ones: where the zero came out gives the
// path's length. False when it did not come out.
bool FlushedLength(const CBits& out, size_t nOnes, size_t& nLength);

// The data registers right after a reset, nDevices of them from the TDO side: a 1 starts a
// 32-bit IDCODE, a 0 is a one-bit BYPASS. Devices are given from the TDI side. False when the
// bits run out or an IDCODE cannot be one.
bool SplitIdcodes(const CBits& out, size_t nDevices, std::vector<ChainDevice>& devices);

// Every way the whole chain's IR capture splits into nDevices registers that each capture ..01
// (bit 0 a one, bit 1 a zero): for each device from the TDI side, the lengths it can have. A
// device whose list holds one length is told; none at all: the capture fits no chain of nDevices.
// fixed: a length each device is known to have (from the TDI side), 0 where none is.
std::vector<std::vector<int>> PossibleIrLengths(const CBits& capture, size_t nDevices,
                                                const std::vector<int>& fixed = {});

// "4,6,8": lengths from the TDI side, 2 to 64 bits each.
bool ParseIrLengths(const std::string& strText, std::vector<int>& lengths, std::string& strError);


// A reset from wherever the TAP is, then the chain's IR and DR paths and the IDCODEs read, the
// TAP left in Run-Test/Idle with every device's IDCODE (or BYPASS) selected. givenIrLengths:
// the user's, from the TDI side; empty when none were given. Each IDCODE is looked up in the
// library, where there is one: a file found gives its device's IR length, once its length and
// IR capture agree with the chain. strLengthsFrom: where the given lengths came from, as a
// message about them says it ("on the command line").
Outcome ScanChain(CTapEngine& tap, const std::vector<int>& givenIrLengths, ChainScan& scan,
                  CBsdlLibrary* pLibrary = nullptr, const std::string& strLengthsFrom = std::string());

// Gives device nDevice (from 1) a BSDL file by hand, whose IR length then counts as told. False,
// with why, where the file's IDCODE, IR length or IR capture is not the device's.
bool GiveBsdlFile(ChainScan& scan, size_t nDevice, const std::shared_ptr<const BsdlFile>& pFile, std::string& strError);

// Why device nDevice cannot be spoken to alone on this chain: a length the scan could not tell.
// Empty when it can.
std::string WhyNotAlone(size_t nDevice, const ChainScan& scan);

// One device as --scan prints it:
// "2  IR 6  IDCODE 0x14D5654B  Power-One  part 0x4D56  version 1", "IR ?", "IDCODE none"; with a
// BSDL file, "  BSDL MORVA_DEMO SO20" after it.
std::string FormatChainDevice(size_t nNumber, const ChainDevice& device);

// The same device as columns of a list: number, IR length ("?"), IDCODE ("none"), maker, part and
// version (the last three empty without an IDCODE).
struct ChainDeviceColumns
{
    std::string strNumber, strIrLength, strIdcode, strMaker, strPart, strVersion;
    std::string strEntity;  // "MORVA_DEMO SO20": the BSDL file's entity and package; empty: none
};
ChainDeviceColumns ChainDeviceRow(size_t nNumber, const ChainDevice& device);

// One device of a scanned chain spoken to alone: its values wrapped in what the other devices
// take, and its own bits picked out of what the chain gives back. The others hold what a reset
// gave them (an IDCODE of 32 bits, or BYPASS) until the first instruction sent to the device,
// which puts them in BYPASS, one bit each.
class CChainAddress : public ITapListener
{
public:
    // nDevice: from 1, on the TDI side. Every IR length must be known.
    CChainAddress(const std::vector<ChainDevice>& devices, size_t nDevice);
    ~CChainAddress() override;
    CChainAddress(const CChainAddress&) = delete;
    CChainAddress& operator=(const CChainAddress&) = delete;

    // From now on the address follows every clock the engine makes, whoever makes it: a reset
    // gives each other device its register after reset again, and an Update-IR, by a SEND or
    // clicked by hand, puts each other device whose IR got all ones in BYPASS; one that got
    // anything else holds an instruction whose register MORVA does not know.
    void Follow(CTapEngine& tap);
    void OnClock(const ClockRecord& clock, bool bValueOut) override;

    // False, with why, where a value cannot go to the device alone: an instruction that is not as
    // long as its IR, or a data value while another device holds an instruction clicked in by
    // hand, whose register's length is not known.
    bool CanSend(bool bIr, size_t nBits, std::string& strError) const;
    // The bits for the whole chain, the first shifted first: ones into the other IRs, zeros into
    // their data registers.
    CBits Wrap(bool bIr, const CBits& value) const;
    // The device's own nBits of what the whole chain gave back.
    CBits Unwrap(bool bIr, const CBits& out, size_t nBits) const;
    // The device's own bits of a shift of any length (clicked by hand, or a whole value): what
    // came out after the other devices nearer TDO and before those nearer TDI. False when the
    // shift was too short to reach them, or the other devices' registers are not known.
    bool Share(bool bIr, const CBits& out, CBits& bits) const;
    size_t Device() const { return m_nIndex + 1; }
    // The bits of the other devices' registers, as they stand now: nearer TDO (shifted first) and
    // nearer TDI; none where one of them is not known.
    void Padding(bool bIr, size_t& nHeader, size_t& nTrailer) const;
    // The device's BSDL file; null: none known.
    const std::shared_ptr<const BsdlFile>& Bsdl() const { return m_pBsdl; }

private:
    // The bits of the other devices' registers nearer TDO than the device, and nearer TDI.
    size_t BitsAfter(const std::vector<size_t>& lengths) const;
    size_t BitsBefore(const std::vector<size_t>& lengths) const;
    // The instruction register's bits shifted in since Capture-IR, the first first, loaded.
    void OnInstructionLoaded(const CBits& bits);
    // The first other device whose data register's length is not known; SIZE_MAX for none.
    size_t UnknownDevice() const;

    std::vector<size_t> m_irLengths;
    std::vector<size_t> m_drLengths;     // of the other devices (0: not known); the device's own is the value's
    std::vector<size_t> m_resetLengths;  // the same, as a reset leaves them
    size_t m_nIndex;                  // from 0
    std::shared_ptr<const BsdlFile> m_pBsdl;
    CTapEngine* m_pTap = nullptr;        // followed
    int m_nState = STATE_UNKNOWN;        // the state the last clock entered
    CBits m_irIn;                        // TDI shifted into the instruction registers since Capture-IR
};
