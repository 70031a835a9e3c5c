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
std::vector<unsigned char> ValueBits(const std::string& strDigits, int nBase)
{
    std::vector<unsigned char> bits;
    if (nBase == 10)
    {
        // Multiply by ten and add, on the bits themselves: values may be thousands of bits long.
        for (char c : strDigits)
        {
            unsigned nCarry = static_cast<unsigned>(DigitValue(c, 10));
            for (unsigned char& bit : bits)
            {
                const unsigned nSum = bit * 10u + nCarry;
                bit = static_cast<unsigned char>(nSum & 1u);
                nCarry = nSum >> 1;
            }
            for (; nCarry != 0; nCarry >>= 1)
                bits.push_back(static_cast<unsigned char>(nCarry & 1u));
        }
    }
    else
    {
        const int nBitsPerDigit = nBase == 2 ? 1 : nBase == 8 ? 3 : 4;
        for (auto it = strDigits.rbegin(); it != strDigits.rend(); ++it)
        {
            const int nValue = DigitValue(*it, nBase);
            for (int i = 0; i < nBitsPerDigit; ++i)
                bits.push_back(static_cast<unsigned char>((nValue >> i) & 1));
        }
    }
    while (bits.size() > 1 && bits.back() == 0)
        bits.pop_back();
    if (bits.empty())
        bits.push_back(0);
    return bits;
}

bool Refuse(const std::string& strText, const std::string& strWhy, std::string& strError)
{
    strError = "\"" + strText + "\" is not a value MORVA can shift: " + strWhy + "\n\nA value is written as:\n" +
               SCAN_VALUE_FORMS;
    return false;
}

} // namespace

bool ParseScanValue(const std::string& strInput, std::vector<unsigned char>& bits, std::string& strError)
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
        std::vector<unsigned char> value = ValueBits(strDigits, nBase);
        if (value.size() > nSize)
            return Refuse(strText, "the value does not fit in " + std::to_string(nSize) + " bits.", strError);
        value.resize(nSize, 0);
        bits.swap(value);
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
    std::vector<unsigned char> value = ValueBits(strDigits, nBase);
    value.resize(nSize, 0);
    bits.swap(value);
    return true;
}

std::string FormatSizedHex(const std::vector<unsigned char>& bits)
{
    return FormatSizedHex(CBits::FromBytes(bits));
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
