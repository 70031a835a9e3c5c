#include "ScanValue.h"

const char SCAN_VALUE_FORMS[] =
    "0010\tbinary digits, the last one bit 0 (four bits here)\n"
    "0x09\thex, four bits a digit (eight bits here)\n"
    "4'b0010, 6'h09, 8'd255, 32'h0\ta sized literal: bits, then b, h, d or o and the digits\n"
    "'_' may separate digits; a value has 1 to 4096 bits.";

std::string TrimValue(const std::string& strText)
{
    const char SPACE[] = " \t\r\n";
    const size_t nBegin = strText.find_first_not_of(SPACE);
    const size_t nEnd = strText.find_last_not_of(SPACE);
    return nBegin == std::string::npos ? std::string() : strText.substr(nBegin, nEnd - nBegin + 1);
}

namespace {

// The digit's value in the base, or -1.
int DigitValue(char c, int nBase)
{
    int nValue = -1;
    if (c >= '0' && c <= '9')
        nValue = c - '0';
    else if (c >= 'a' && c <= 'f')
        nValue = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
        nValue = c - 'A' + 10;
    return nValue < nBase ? nValue : -1;
}

// The digits without their separators; false for an empty run, a leading '_' or a stray character.
bool Digits(const std::string& strRun, int nBase, std::string& strDigits)
{
    strDigits.clear();
    if (strRun.empty() || strRun[0] == '_')
        return false;
    for (char c : strRun)
    {
        if (c == '_')
            continue;
        if (DigitValue(c, nBase) < 0)
            return false;
        strDigits += c;
    }
    return !strDigits.empty();
}

// The digits' value as bits, bit 0 first, as many as the value needs (at least one).
CBits ValueBits(const std::string& strDigits, int nBase)
{
    std::vector<uint8_t> bytes;
    if (nBase == 10)
    {
        // Multiply by ten and add, a byte at a time: values may be thousands of bits long.
        for (char c : strDigits)
        {
            unsigned nCarry = static_cast<unsigned>(DigitValue(c, 10));
            for (uint8_t& byte : bytes)
            {
                const unsigned nSum = byte * 10u + nCarry;
                byte = static_cast<uint8_t>(nSum & 0xFFu);
                nCarry = nSum >> 8;
            }
            if (nCarry != 0)
                bytes.push_back(static_cast<uint8_t>(nCarry));
        }
    }
    else
    {
        const unsigned nBitsPerDigit = nBase == 2 ? 1 : nBase == 8 ? 3 : 4;
        size_t nBit = 0;
        bytes.resize((strDigits.size() * nBitsPerDigit + 7) / 8);
        for (auto it = strDigits.rbegin(); it != strDigits.rend(); ++it, nBit += nBitsPerDigit)
        {
            const unsigned nValue = static_cast<unsigned>(DigitValue(*it, nBase)) << (nBit & 7);
            bytes[nBit >> 3] = static_cast<uint8_t>(bytes[nBit >> 3] | (nValue & 0xFFu));
            if ((nValue >> 8) != 0)
                bytes[(nBit >> 3) + 1] = static_cast<uint8_t>(bytes[(nBit >> 3) + 1] | (nValue >> 8));
        }
    }
    size_t nBits = bytes.size() * 8;
    while (nBits > 1 && (bytes[(nBits - 1) >> 3] >> ((nBits - 1) & 7) & 1) == 0)
        --nBits;
    return CBits::FromPacked(std::move(bytes), nBits == 0 ? 1 : nBits);
}

bool Refuse(const std::string& strText, const std::string& strWhy, std::string& strError)
{
    strError = "\"" + strText + "\" is not a value MORVA can shift: " + strWhy + "\n\nA value is written as:\n" +
               SCAN_VALUE_FORMS;
    return false;
}

} // namespace

bool ParseScanValue(const std::string& strInput, CBits& bits, std::string& strError)
{
    const std::string strText = TrimValue(strInput);
    if (strText.empty())
        return Refuse(strText, "it is empty.", strError);
    std::string strDigits;
    const size_t nQuote = strText.find('\'');
    if (nQuote != std::string::npos)
    {
        std::string strSize;
        if (!Digits(strText.substr(0, nQuote), 10, strSize) || strSize.size() > 5)
            return Refuse(strText, "a sized literal starts with its number of bits, as in 8'hA5.", strError);
        const size_t nSize = std::stoul(strSize);
        if (nSize < 1 || nSize > MAX_SCAN_BITS)
            return Refuse(strText, "a value has 1 to 4096 bits.", strError);
        const char cBase = nQuote + 1 < strText.size() ? strText[nQuote + 1] : '\0';
        const int nBase = cBase == 'b' || cBase == 'B'   ? 2
                          : cBase == 'o' || cBase == 'O' ? 8
                          : cBase == 'd' || cBase == 'D' ? 10
                          : cBase == 'h' || cBase == 'H' ? 16
                                                         : 0;
        if (nBase == 0)
            return Refuse(strText, "after the ' comes b, o, d or h.", strError);
        if (!Digits(strText.substr(nQuote + 2), nBase, strDigits))
            return Refuse(strText, "the digits do not belong to the base after the '.", strError);
        // A thousand decimal digits need more than 4096 bits: refused before they are worked out.
        if (strDigits.size() > MAX_SCAN_BITS + 1)
            return Refuse(strText, "the value does not fit in " + strSize + " bits.", strError);
        CBits value = ValueBits(strDigits, nBase);
        if (value.size() > nSize)
            return Refuse(strText, "the value does not fit in " + std::to_string(nSize) + " bits.", strError);
        value.resize(nSize);
        bits = value;
        return true;
    }
    int nBase = 2;
    std::string strRun = strText;
    if (strText.size() > 1 && strText[0] == '0' && (strText[1] == 'x' || strText[1] == 'X'))
    {
        nBase = 16;
        strRun = strText.substr(2);
    }
    if (!Digits(strRun, nBase, strDigits))
        return Refuse(strText, nBase == 16 ? "0x is followed by hex digits." : "it is not one of these forms.",
                      strError);
    const size_t nSize = strDigits.size() * (nBase == 16 ? 4 : 1);
    if (nSize > MAX_SCAN_BITS)
        return Refuse(strText, "a value has 1 to 4096 bits.", strError);
    CBits value = ValueBits(strDigits, nBase);
    value.resize(nSize);
    bits = value;
    return true;
}

std::string FormatSizedHex(const CBits& bits)
{
    static const char HEX[] = "0123456789ABCDEF";
    // The last digit holds bits 0 to 3: each digit written in its place, not put in front of the
    // others, so that a value of millions of bits costs as much as its bits.
    const size_t nDigits = (bits.size() + 3) / 4;
    std::string strDigits(nDigits, '0');
    const uint8_t* pBytes = bits.Bytes();
    for (size_t nDigit = 0; nDigit < nDigits; ++nDigit)
        strDigits[nDigits - 1 - nDigit] = HEX[(pBytes[nDigit / 2] >> (nDigit & 1) * 4) & 15];
    return std::to_string(bits.size()) + "'h" + strDigits;
}
