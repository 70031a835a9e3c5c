#include "ChainScan.h"

#include <algorithm>
#include <cstdio>

#include "../bsdl/BsdlLibrary.h"
#include "../engine/TapEngine.h"
#include "Idcode.h"

namespace {

const int MAX_IR_LENGTH = 64;
// Enough ones to fill every IR of the longest chain the scan takes: 32 devices of 64 bits.
const size_t IR_ONES = MAX_CHAIN_DEVICES * MAX_IR_LENGTH;
// More ones than the longest chain has BYPASS bits, so that a longer one is seen as such.
const size_t DR_ONES = 2 * MAX_CHAIN_DEVICES;

const char GIVE_LENGTHS[] =
    "give every device's IR length, from the device nearest TDI, as irlen=4,6,8 under [chain] in the "
    "settings file or as --irlen 4,6,8";

// nOnes ones, a zero, then as many ones again: the zero measures the path, the ones after it leave
// every IR holding BYPASS.
CBits Flush(size_t nOnes)
{
    CBits bits(2 * nOnes + 1, true);
    bits.Set(nOnes, false);
    return bits;
}

Outcome Shift(CTapEngine& tap, const TapRegister& reg, const CBits& bits, CBits& out)
{
    if (tap.Shift(reg, bits, [](size_t) { return false; }) != Ended::Done)
        return Ended::Lost;
    out = tap.BitsOut();
    return out.size() == bits.size() ? Ended::Done : Ended::Lost;
}

bool StartsCapture(const CBits& capture, size_t nAt, size_t nLength)
{
    return nLength >= 2 && nAt + nLength <= capture.size() && capture[nAt] && !capture[nAt + 1];
}

std::string JoinNumbers(const std::vector<size_t>& numbers)
{
    std::string text;
    for (size_t i = 0; i < numbers.size(); ++i)
        text += (i == 0 ? "" : i + 1 == numbers.size() ? " and " : ", ") + std::to_string(numbers[i]);
    return text;
}

Outcome Broken(ChainScan& scan, const std::string& strProblem)
{
    scan.devices.clear();
    scan.strProblem = strProblem;
    return Outcome(Ended::Broken, strProblem);
}

// The lengths the user gave, checked against the chain; or the scan's own where it can tell.
void TellIrLengths(const CBits& capture, const std::vector<int>& given, const std::string& strFrom,
                   ChainScan& scan)
{
    const std::string strGiven = "The IR lengths given" + (strFrom.empty() ? std::string() : " " + strFrom);
    const size_t nDevices = scan.devices.size();
    if (!given.empty())
    {
        std::string strProblem;
        int nSum = 0;
        for (int nLength : given)
            nSum += nLength;
        if (given.size() != nDevices)
            strProblem = strGiven + " name " + std::to_string(given.size()) + " devices; the chain has " +
                         std::to_string(nDevices) + ".";
        else if (static_cast<size_t>(nSum) != capture.size())
            strProblem = strGiven + " add up to " + std::to_string(nSum) + " bits; the chain's IRs hold " +
                         std::to_string(capture.size()) + ".";
        else
        {
            // The TDO side's device captures first.
            size_t nAt = 0;
            for (size_t i = nDevices; i-- > 0 && strProblem.empty();)
            {
                if (!StartsCapture(capture, nAt, static_cast<size_t>(given[i])))
                    strProblem = "Device " + std::to_string(i + 1) + "'s IR does not capture ..01 at the length given (" +
                                 std::to_string(given[i]) + " bits).";
                nAt += static_cast<size_t>(given[i]);
            }
        }
        if (strProblem.empty())
        {
            for (size_t i = 0; i < nDevices; ++i)
                scan.devices[i].nIrLength = given[i];
            return;
        }
        scan.strProblem = strProblem + " Correct them, or leave them out to let the scan tell what it can.";
    }
    // The files' lengths where the chain can have them all; else the files are not taken.
    std::vector<int> fixed(nDevices, 0);
    for (size_t i = 0; i < nDevices; ++i)
        fixed[i] = scan.devices[i].pBsdl != nullptr ? static_cast<int>(scan.devices[i].pBsdl->nIrLength) : 0;
    std::vector<std::vector<int>> possible = PossibleIrLengths(capture, nDevices, fixed);
    if (std::any_of(possible.begin(), possible.end(), [](const std::vector<int>& lengths) { return lengths.empty(); }))
    {
        for (ChainDevice& device : scan.devices)
        {
            if (device.pBsdl != nullptr)
                scan.bsdlProblems.push_back(device.pBsdl->strPath + " is not taken: the chain's IRs cannot hold " +
                                            std::to_string(device.pBsdl->nIrLength) + " bits for " +
                                            device.pBsdl->strEntity + ".");
            device.pBsdl = nullptr;
        }
        possible = PossibleIrLengths(capture, nDevices);
    }
    std::vector<size_t> untold;
    for (size_t i = 0; i < nDevices; ++i)
    {
        if (possible[i].size() == 1)
            scan.devices[i].nIrLength = possible[i][0];
        else
            untold.push_back(i + 1);
    }
    if (!untold.empty() && scan.strProblem.empty())
        scan.strProblem = std::string("The scan cannot tell the IR length of ") +
                          (untold.size() == 1 ? "device " : "devices ") + JoinNumbers(untold) + ": " + GIVE_LENGTHS + ".";
}

// Each file's IR capture against the bits its device captured; a file that disagrees is not taken.
void CheckBsdlFiles(const CBits& capture, ChainScan& scan)
{
    const size_t nDevices = scan.devices.size();
    if (std::any_of(scan.devices.begin(), scan.devices.end(), [](const ChainDevice& device) { return device.nIrLength == 0; }))
        return;
    size_t nAt = 0;
    for (size_t i = nDevices; i-- > 0;)
    {
        ChainDevice& device = scan.devices[i];
        const size_t nLength = static_cast<size_t>(device.nIrLength);
        const CBits bits = capture.Slice(nAt, nLength);
        nAt += nLength;
        if (device.pBsdl == nullptr)
            continue;
        if (device.pBsdl->nIrLength != nLength || !device.pBsdl->MatchesIrCapture(bits))
        {
            std::string strCaptured;
            for (size_t bit = bits.size(); bit-- > 0;)
                strCaptured += bits[bit] ? '1' : '0';
            scan.bsdlProblems.push_back(device.pBsdl->strPath + " is not taken for device " + std::to_string(i + 1) +
                                        ": its IR captured " + strCaptured + ", the file says " +
                                        device.pBsdl->strIrCapture + ".");
            device.pBsdl = nullptr;
        }
    }
}

} // namespace

// The length of the registers the flush went through: the zero sent after nOnes ones comes out
// after them. A zero found where the ones sent do not all stand before it is one the registers
// held: they are longer than the ones sent fill, and no length is given.
bool FlushedLength(const CBits& out, size_t nOnes, size_t& nLength)
{
    for (size_t i = nOnes; i < out.size(); ++i)
    {
        if (!out[i])
        {
            nLength = i - nOnes;
            for (size_t j = nLength; j < i; ++j)
            {
                if (!out[j])
                    return false;
            }
            return true;
        }
    }
    return false;
}

bool SplitIdcodes(const CBits& out, size_t nDevices, std::vector<ChainDevice>& devices)
{
    devices.assign(nDevices, ChainDevice());
    size_t nAt = 0;
    for (size_t i = nDevices; i-- > 0;)
    {
        if (nAt >= out.size())
            return false;
        if (!out[nAt])
        {
            ++nAt;
            continue;
        }
        if (nAt + 32 > out.size())
            return false;
        uint32_t nIdcode = 0;
        for (size_t bit = 0; bit < 32; ++bit)
            nIdcode |= static_cast<uint32_t>(out[nAt + bit] ? 1 : 0) << bit;
        if (!IsPlausibleIdcode(nIdcode))
            return false;
        devices[i].bIdcode = true;
        devices[i].nIdcode = nIdcode;
        nAt += 32;
    }
    return true;
}

std::vector<std::vector<int>> PossibleIrLengths(const CBits& capture, size_t nDevices,
                                                const std::vector<int>& fixed)
{
    const size_t nBits = capture.size();
    // j counts from the TDO side: device nDevices - j from the TDI side.
    const auto fits = [&](size_t j, size_t p, size_t nLength) {
        const size_t nDevice = nDevices - 1 - j;
        if (nDevice < fixed.size() && fixed[nDevice] > 0 && static_cast<size_t>(fixed[nDevice]) != nLength)
            return false;
        return StartsCapture(capture, p, nLength);
    };
    // reach[j][p]: the first j registers from the TDO side can end at bit p; rest[j][p]: the
    // registers from j on can start at bit p and end at the last bit.
    std::vector<std::vector<char>> reach(nDevices + 1, std::vector<char>(nBits + 1, 0));
    std::vector<std::vector<char>> rest(nDevices + 1, std::vector<char>(nBits + 1, 0));
    reach[0][0] = 1;
    for (size_t j = 0; j < nDevices; ++j)
    {
        for (size_t p = 0; p < nBits; ++p)
        {
            if (reach[j][p] == 0)
                continue;
            for (size_t nLength = 2; nLength <= static_cast<size_t>(MAX_IR_LENGTH) && p + nLength <= nBits; ++nLength)
            {
                if (fits(j, p, nLength))
                    reach[j + 1][p + nLength] = 1;
            }
        }
    }
    rest[nDevices][nBits] = 1;
    for (size_t j = nDevices; j-- > 0;)
    {
        for (size_t p = 0; p < nBits; ++p)
        {
            for (size_t nLength = 2; nLength <= static_cast<size_t>(MAX_IR_LENGTH) && p + nLength <= nBits; ++nLength)
            {
                if (rest[j + 1][p + nLength] != 0 && fits(j, p, nLength))
                {
                    rest[j][p] = 1;
                    break;
                }
            }
        }
    }
    std::vector<std::vector<int>> possible(nDevices);
    for (size_t j = 0; j < nDevices; ++j)
    {
        std::vector<int>& lengths = possible[nDevices - 1 - j];
        for (size_t p = 0; p < nBits; ++p)
        {
            if (reach[j][p] == 0)
                continue;
            for (size_t nLength = 2; nLength <= static_cast<size_t>(MAX_IR_LENGTH) && p + nLength <= nBits; ++nLength)
            {
                if (rest[j + 1][p + nLength] != 0 && fits(j, p, nLength))
                    lengths.push_back(static_cast<int>(nLength));
            }
        }
        std::sort(lengths.begin(), lengths.end());
        lengths.erase(std::unique(lengths.begin(), lengths.end()), lengths.end());
    }
    return possible;
}

bool ParseIrLengths(const std::string& strText, std::vector<int>& lengths, std::string& strError)
{
    lengths.clear();
    for (size_t nStart = 0; nStart <= strText.size();)
    {
        size_t nEnd = strText.find(',', nStart);
        if (nEnd == std::string::npos)
            nEnd = strText.size();
        const std::string strItem = strText.substr(nStart, nEnd - nStart);
        nStart = nEnd + 1;
        const size_t nFirst = strItem.find_first_not_of(" \t");
        const size_t nLast = strItem.find_last_not_of(" \t");
        const std::string strDigits = nFirst == std::string::npos ? "" : strItem.substr(nFirst, nLast - nFirst + 1);
        int nLength = 0;
        for (char c : strDigits)
            nLength = c >= '0' && c <= '9' && nLength <= MAX_IR_LENGTH ? nLength * 10 + (c - '0') : MAX_IR_LENGTH + 1;
        if (nLength < 2 || nLength > MAX_IR_LENGTH)
        {
            strError = "\"" + strText + "\" is no list of IR lengths: give each device's length in bits (2 to " +
                       std::to_string(MAX_IR_LENGTH) + "), from the device nearest TDI, separated by commas, as 4,6,8.";
            return false;
        }
        lengths.push_back(nLength);
    }
    if (lengths.empty() || lengths.size() > MAX_CHAIN_DEVICES)
    {
        strError = "\"" + strText + "\" is no list of IR lengths: give one length for each device, at most " +
                   std::to_string(MAX_CHAIN_DEVICES) + ", as 4,6,8.";
        lengths.clear();
        return false;
    }
    return true;
}

namespace {

Outcome ScanWhole(CTapEngine& tap, const std::vector<int>& givenIrLengths, ChainScan& scan, CBsdlLibrary* pLibrary,
                  const std::string& strLengthsFrom)
{
    if (!tap.Reset())
        return Ended::Lost;

    // Every IR: what it captured comes out first, then the ones sent, then the zero.
    CBits ir;
    if (Shift(tap, TAP_IR, Flush(IR_ONES), ir) != Ended::Done)
        return Ended::Lost;
    if (ir.AllSet())
        return Broken(scan, "TDO stays at 1: is the target powered, is TDO wired?");
    if (!ir.AnySet())
        return Broken(scan, "TDO stays at 0: is the target powered, is TDO wired?");
    size_t nIrBits = 0;
    if (!FlushedLength(ir, IR_ONES, nIrBits) || nIrBits < 2)
        return Broken(scan, "What TDO gives is not what TDI was sent through an instruction register of " +
                                std::to_string(IR_ONES) + " bits or fewer: is TDI wired, does the chain end at TDO?");

    // Every device in BYPASS now: one bit each.
    CBits dr;
    if (Shift(tap, TAP_DR, Flush(DR_ONES), dr) != Ended::Done)
        return Ended::Lost;
    size_t nDevices = 0;
    if (!FlushedLength(dr, DR_ONES, nDevices) || nDevices > MAX_CHAIN_DEVICES)
        return Broken(scan, "The path from TDI to TDO is longer than " + std::to_string(MAX_CHAIN_DEVICES) +
                                " devices in BYPASS: is TDO wired to the last device of the chain?");
    if (nDevices == 0)
        return Broken(scan, "TDI reaches TDO without a device between them: is the target powered?");

    // After a reset each device shows its IDCODE, or BYPASS where it has none.
    if (!tap.Reset())
        return Ended::Lost;
    CBits ids;
    if (Shift(tap, TAP_DR, CBits(32 * nDevices, true), ids) != Ended::Done)
        return Ended::Lost;
    if (!SplitIdcodes(ids, nDevices, scan.devices))
        return Broken(scan, "After a reset the data registers did not read as " + std::to_string(nDevices) +
                                " IDCODEs or BYPASS bits: is the chain wired firmly, is its clock clean?");

    const CBits capture = ir.Slice(0, nIrBits);
    if (pLibrary != nullptr)
    {
        pLibrary->Rescan();
        scan.bsdlProblems = pLibrary->Problems();
        for (ChainDevice& device : scan.devices)
            device.pBsdl = device.bIdcode ? pLibrary->Match(device.nIdcode) : nullptr;
    }
    scan.irCapture = capture;
    TellIrLengths(capture, givenIrLengths, strLengthsFrom, scan);
    CheckBsdlFiles(capture, scan);
    return Ended::Done;
}

} // namespace

Outcome ScanChain(CTapEngine& tap, const std::vector<int>& givenIrLengths, ChainScan& scan, CBsdlLibrary* pLibrary,
                  const std::string& strLengthsFrom)
{
    scan = ChainScan();
    const Outcome scanned = ScanWhole(tap, givenIrLengths, scan, pLibrary, strLengthsFrom);
    if (scanned != Ended::Lost)
        return scanned;
    scan = ChainScan();
    return tap.CableLost().At("while the chain was scanned");
}

bool GiveBsdlFile(ChainScan& scan, size_t nDevice, const std::shared_ptr<const BsdlFile>& pFile, std::string& strError)
{
    ChainDevice& device = scan.devices[nDevice - 1];
    if (device.nIrLength > 0 && static_cast<size_t>(device.nIrLength) != pFile->nIrLength)
    {
        strError = pFile->strPath + " describes " + pFile->strEntity + " with an IR of " +
                   std::to_string(pFile->nIrLength) + " bits; device " + std::to_string(nDevice) + "'s IR is " +
                   std::to_string(device.nIrLength) + " bits long.";
        return false;
    }
    if (device.bIdcode && !pFile->strIdcode.empty() && !pFile->MatchesIdcode(device.nIdcode))
    {
        strError = pFile->strPath + " describes " + pFile->strEntity + ", whose IDCODE is " + pFile->strIdcode +
                   "; device " + std::to_string(nDevice) + "'s IDCODE is " + IdcodeText(device.nIdcode) + ".";
        return false;
    }
    // The lengths told again with the file's among them, as the scan tells them.
    ChainScan told = scan;
    told.devices[nDevice - 1].pBsdl = pFile;
    told.strProblem.clear();
    told.bsdlProblems.clear();
    std::vector<int> given;
    for (const ChainDevice& other : scan.devices)
        given.push_back(other.nIrLength);
    if (std::find(given.begin(), given.end(), 0) == given.end())
        TellIrLengths(scan.irCapture, given, "", told);
    else
        TellIrLengths(scan.irCapture, {}, "", told);
    CheckBsdlFiles(scan.irCapture, told);
    if (told.devices[nDevice - 1].pBsdl == nullptr)
    {
        strError = told.bsdlProblems.empty() ? pFile->strPath + " does not fit device " + std::to_string(nDevice) + "."
                                             : told.bsdlProblems.back();
        return false;
    }
    told.bsdlProblems = scan.bsdlProblems;
    scan = told;
    return true;
}

std::string WhyNotAlone(size_t nDevice, const ChainScan& scan)
{
    if (scan.strProblem.empty())
        return "";
    return "Device " + std::to_string(nDevice) + " cannot be spoken to alone. " + scan.strProblem;
}

ChainDeviceColumns ChainDeviceRow(size_t nNumber, const ChainDevice& device)
{
    ChainDeviceColumns row;
    row.strNumber = std::to_string(nNumber);
    row.strIrLength = device.nIrLength > 0 ? std::to_string(device.nIrLength) : std::string("?");
    if (device.pBsdl != nullptr)
        row.strEntity = device.pBsdl->strEntity + (device.pBsdl->strPackage.empty() ? "" : " " + device.pBsdl->strPackage);
    if (!device.bIdcode)
    {
        row.strIdcode = "none";
        return row;
    }
    const IdcodeFields fields = SplitIdcode(device.nIdcode);
    row.strIdcode = IdcodeText(device.nIdcode);
    char text[16];
    row.strMaker = MakerName(fields.nBank, fields.nCode);
    std::snprintf(text, sizeof(text), "0x%04X", fields.nPart);
    row.strPart = text;
    row.strVersion = std::to_string(fields.nVersion);
    return row;
}

std::string FormatChainDevice(size_t nNumber, const ChainDevice& device)
{
    const ChainDeviceColumns row = ChainDeviceRow(nNumber, device);
    std::string line = row.strNumber + "  IR " + row.strIrLength + "  IDCODE " + row.strIdcode;
    if (device.bIdcode)
        line += "  " + row.strMaker + "  part " + row.strPart + "  version " + row.strVersion;
    if (!row.strEntity.empty())
        line += "  BSDL " + row.strEntity;
    return line;
}

CChainAddress::CChainAddress(const std::vector<ChainDevice>& devices, size_t nDevice)
    : m_nIndex(nDevice - 1), m_pBsdl(devices[nDevice - 1].pBsdl)
{
    for (const ChainDevice& device : devices)
    {
        m_irLengths.push_back(static_cast<size_t>(device.nIrLength));
        m_drLengths.push_back(device.bIdcode ? 32 : 1);
    }
    m_resetLengths = m_drLengths;
}

CChainAddress::~CChainAddress()
{
    if (m_pTap != nullptr)
        m_pTap->RemoveListener(this);
}

void CChainAddress::Follow(CTapEngine& tap)
{
    if (m_pTap != nullptr)
        m_pTap->RemoveListener(this);
    m_pTap = &tap;
    m_nState = tap.State();
    m_irIn.clear();
    tap.AddListener(this);
}

void CChainAddress::OnClock(const ClockRecord& clock, bool)
{
    // The bit a clock shifts in is its TDI while the clock starts in Shift-IR.
    if (m_nState == STATE_SHIFT_IR)
        m_irIn.push_back(clock.Tdi() != 0);
    m_nState = clock.nState;
    if (m_nState == STATE_TEST_LOGIC_RESET)
    {
        m_drLengths = m_resetLengths;
        m_irIn.clear();
    }
    else if (m_nState == STATE_CAPTURE_IR || m_nState == STATE_UNKNOWN)
        m_irIn.clear();
    else if (m_nState == STATE_UPDATE_IR)
    {
        OnInstructionLoaded(m_irIn);
        m_irIn.clear();
    }
}

void CChainAddress::OnInstructionLoaded(const CBits& bits)
{
    // The last bits shifted sit nearest TDI: device 1's IR holds the last of them, the device
    // nearest TDO the first. A device the shift did not reach holds bits it captured.
    size_t nEnd = bits.size();
    for (size_t i = 0; i < m_irLengths.size(); ++i)
    {
        const size_t nLength = m_irLengths[i];
        const bool bReached = nEnd >= nLength;
        const bool bBypass = bReached && bits.AllSet(nEnd - nLength, nLength);
        if (i != m_nIndex)
            m_drLengths[i] = bBypass ? 1 : 0;
        nEnd = bReached ? nEnd - nLength : 0;
    }
}

size_t CChainAddress::UnknownDevice() const
{
    for (size_t i = 0; i < m_drLengths.size(); ++i)
    {
        if (i != m_nIndex && m_drLengths[i] == 0)
            return i;
    }
    return SIZE_MAX;
}

bool CChainAddress::CanSend(bool bIr, size_t nBits, std::string& strError) const
{
    if (bIr && nBits != m_irLengths[m_nIndex])
    {
        strError = "Device " + std::to_string(m_nIndex + 1) + "'s IR is " + std::to_string(m_irLengths[m_nIndex]) +
                   " bits long; the instruction given has " + std::to_string(nBits) + ".";
        return false;
    }
    const size_t nUnknown = UnknownDevice();
    if (bIr || nUnknown == SIZE_MAX)
        return true;
    strError = "Device " + std::to_string(nUnknown + 1) + " holds an instruction that was not sent to it by SEND-IR, "
               "so MORVA does not know how long the register it now shifts is. Send device " +
               std::to_string(m_nIndex + 1) + " an instruction with SEND-IR (the others then go to BYPASS), or reset "
               "the TAP.";
    return false;
}

void CChainAddress::Padding(bool bIr, size_t& nHeader, size_t& nTrailer) const
{
    // Registers not known pad nothing: a scan is then the whole chain's, as it stands.
    const bool bKnown = bIr || UnknownDevice() == SIZE_MAX;
    nHeader = bKnown ? BitsAfter(bIr ? m_irLengths : m_drLengths) : 0;
    nTrailer = bKnown ? BitsBefore(bIr ? m_irLengths : m_drLengths) : 0;
}

size_t CChainAddress::BitsAfter(const std::vector<size_t>& lengths) const
{
    size_t nBits = 0;
    for (size_t i = m_nIndex + 1; i < lengths.size(); ++i)
        nBits += lengths[i];
    return nBits;
}

size_t CChainAddress::BitsBefore(const std::vector<size_t>& lengths) const
{
    size_t nBits = 0;
    for (size_t i = 0; i < m_nIndex; ++i)
        nBits += lengths[i];
    return nBits;
}

CBits CChainAddress::Wrap(bool bIr, const CBits& value) const
{
    // The first bit shifted in ends nearest TDO.
    const std::vector<size_t>& lengths = bIr ? m_irLengths : m_drLengths;
    CBits bits(BitsAfter(lengths), bIr);
    bits.Append(value);
    bits.Append(CBits(BitsBefore(lengths), bIr));
    return bits;
}

CBits CChainAddress::Unwrap(bool bIr, const CBits& out, size_t nBits) const
{
    // What the devices nearer TDO held comes out first.
    const size_t nAt = BitsAfter(bIr ? m_irLengths : m_drLengths);
    if (nAt + nBits > out.size())
        return {};
    return out.Slice(nAt, nBits);
}

bool CChainAddress::Share(bool bIr, const CBits& out, CBits& bits) const
{
    if (!bIr && UnknownDevice() != SIZE_MAX)
        return false;
    const std::vector<size_t>& lengths = bIr ? m_irLengths : m_drLengths;
    const size_t nOthers = BitsAfter(lengths) + BitsBefore(lengths);
    if (out.size() <= nOthers)
        return false;
    bits = Unwrap(bIr, out, out.size() - nOthers);
    return true;
}
