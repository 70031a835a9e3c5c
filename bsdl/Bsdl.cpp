#include "Bsdl.h"

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <map>

std::string UpperCase(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    return text;
}

namespace {

bool IsWordChar(char c)
{
    return isalnum(static_cast<unsigned char>(c)) != 0 || c == '_';
}

enum class TokenKind
{
    Word,    // a name or a number
    String,  // the text between the quotes
    Symbol,  // ( ) , ; : := & [ ] * and the rest, one character (":=" two)
    End,
};

struct Token
{
    TokenKind kind;
    std::string text;  // a word in upper case
    int nLine;
    std::string written;  // as the file has it
};

// Text of strings joined with &: each character keeps the line it was written on.
struct Text
{
    std::string text;
    std::vector<int> lines;
    int nLine = 0;  // where it started

    int LineAt(size_t nAt) const { return nAt < lines.size() ? lines[nAt] : lines.empty() ? nLine : lines.back(); }
};

class CFailure
{
public:
    CFailure(int nLine, std::string strWhat) : m_nLine(nLine), m_strWhat(std::move(strWhat)) {}
    int m_nLine;
    std::string m_strWhat;
};

std::vector<Token> Tokenize(const std::string& text)
{
    std::vector<Token> tokens;
    int nLine = 1;
    for (size_t i = 0; i < text.size();)
    {
        const char c = text[i];
        if (c == '\n')
        {
            ++nLine;
            ++i;
        }
        else if (isspace(static_cast<unsigned char>(c)) != 0)
            ++i;
        else if (c == '-' && i + 1 < text.size() && text[i + 1] == '-')
        {
            while (i < text.size() && text[i] != '\n')
                ++i;
        }
        else if (c == '"')
        {
            std::string value;
            size_t j = i + 1;
            for (;; ++j)
            {
                if (j >= text.size() || text[j] == '\n')
                    throw CFailure(nLine, "a string ends on the line it starts: a closing \" was expected");
                if (text[j] == '"' && j + 1 < text.size() && text[j + 1] == '"')
                {
                    value += '"';
                    ++j;
                }
                else if (text[j] == '"')
                    break;
                else
                    value += text[j];
            }
            tokens.push_back({TokenKind::String, value, nLine, value});
            i = j + 1;
        }
        else if (IsWordChar(c))
        {
            size_t j = i;
            while (j < text.size() && IsWordChar(text[j]))
                ++j;
            tokens.push_back({TokenKind::Word, UpperCase(text.substr(i, j - i)), nLine, text.substr(i, j - i)});
            i = j;
        }
        else if (c == ':' && i + 1 < text.size() && text[i + 1] == '=')
        {
            tokens.push_back({TokenKind::Symbol, ":=", nLine, ":="});
            i += 2;
        }
        else
        {
            tokens.push_back({TokenKind::Symbol, std::string(1, c), nLine, std::string(1, c)});
            ++i;
        }
    }
    tokens.push_back({TokenKind::End, "", nLine, ""});
    return tokens;
}

std::string Shown(const Token& token)
{
    switch (token.kind)
    {
    case TokenKind::End:
        return "the end of the file";
    case TokenKind::String:
        return "a string";
    default:
        return "\"" + token.written + "\"";
    }
}

// The top of the file: the entity, its generic, its ports, and its attributes kept as values.
class CReader
{
public:
    explicit CReader(const std::string& text) : m_tokens(Tokenize(text)) {}

    void Read(BsdlFile& file);

    struct Attribute
    {
        Token first;  // where the value starts
        bool bString = false;
        Text text;    // strings joined
        std::string strWord;  // a number or a name
    };

private:

    const Token& Peek() const { return m_tokens[m_nAt]; }
    const Token& Next() { return m_tokens[m_nAt < m_tokens.size() - 1 ? m_nAt++ : m_nAt]; }
    bool IsWord(const char* pszWord) const { return Peek().kind == TokenKind::Word && Peek().text == pszWord; }
    bool IsSymbol(const char* pszSymbol) const { return Peek().kind == TokenKind::Symbol && Peek().text == pszSymbol; }
    void Expect(const char* pszSymbol, const char* pszWhat)
    {
        if (!IsSymbol(pszSymbol))
            throw CFailure(Peek().nLine, std::string(pszWhat) + " was expected, not " + Shown(Peek()));
        Next();
    }
    void ExpectWord(const char* pszWord)
    {
        if (!IsWord(pszWord))
            throw CFailure(Peek().nLine, "\"" + std::string(pszWord) + "\" was expected, not " + Shown(Peek()));
        Next();
    }
    std::string Name(const char* pszWhat)
    {
        if (Peek().kind != TokenKind::Word || isdigit(static_cast<unsigned char>(Peek().text[0])) != 0)
            throw CFailure(Peek().nLine, std::string(pszWhat) + " was expected, not " + Shown(Peek()));
        return Next().text;
    }
    int Number(const char* pszWhat)
    {
        const Token& token = Peek();
        if (token.kind != TokenKind::Word || token.text.find_first_not_of("0123456789") != std::string::npos ||
            token.text.size() > 6)
            throw CFailure(token.nLine, std::string(pszWhat) + " was expected, not " + Shown(token));
        return atoi(Next().text.c_str());
    }
    void SkipStatement()
    {
        int nDepth = 0;
        while (Peek().kind != TokenKind::End && !(nDepth == 0 && IsSymbol(";")))
        {
            if (IsSymbol("("))
                ++nDepth;
            else if (IsSymbol(")"))
                --nDepth;
            Next();
        }
        Expect(";", "\";\"");
    }
    // Strings joined with &, or a single number or name.
    Attribute Value();
    void Generic(BsdlFile& file);
    void Ports(BsdlFile& file);

    std::vector<Token> m_tokens;
    size_t m_nAt = 0;

public:
    std::map<std::string, Attribute> m_attributes;  // of the entity, by name
    std::map<std::string, Attribute> m_constants;   // the pin maps, by name
    int m_nEndLine = 0;
};

CReader::Attribute CReader::Value()
{
    Attribute value;
    value.first = Peek();
    if (Peek().kind == TokenKind::String)
    {
        value.bString = true;
        value.text.nLine = Peek().nLine;
        for (;;)
        {
            if (Peek().kind != TokenKind::String)
                throw CFailure(Peek().nLine, "a string was expected after \"&\", not " + Shown(Peek()));
            const Token& piece = Next();
            value.text.text += piece.text;
            value.text.lines.insert(value.text.lines.end(), piece.text.size(), piece.nLine);
            if (!IsSymbol("&"))
                break;
            Next();
        }
    }
    else if (Peek().kind == TokenKind::Word)
        value.strWord = Next().text;
    else if (IsSymbol("("))
    {
        // A record, as TAP_SCAN_CLOCK's (10.0e6, BOTH): nothing MORVA uses.
        int nDepth = 0;
        do
        {
            if (Peek().kind == TokenKind::End)
                throw CFailure(Peek().nLine, "\")\" was expected, not the end of the file");
            nDepth += IsSymbol("(") ? 1 : IsSymbol(")") ? -1 : 0;
            value.strWord += Next().text;
        } while (nDepth > 0);
    }
    else
        throw CFailure(Peek().nLine, "a value was expected, not " + Shown(Peek()));
    Expect(";", "\";\" after the value");
    return value;
}

void CReader::Generic(BsdlFile& file)
{
    Expect("(", "\"(\" after \"generic\"");
    ExpectWord("PHYSICAL_PIN_MAP");
    Expect(":", "\":\"");
    ExpectWord("STRING");
    if (IsSymbol(":="))
    {
        Next();
        if (Peek().kind != TokenKind::String)
            throw CFailure(Peek().nLine, "the package's name in quotes was expected, not " + Shown(Peek()));
        file.strPackage = Next().text;
    }
    Expect(")", "\")\" after the generic");
    Expect(";", "\";\" after the generic");
}

void CReader::Ports(BsdlFile& file)
{
    Expect("(", "\"(\" after \"port\"");
    for (;;)
    {
        std::vector<Token> names;
        for (;;)
        {
            const Token& token = Peek();
            Name("a port's name");
            names.push_back(token);
            if (!IsSymbol(","))
                break;
            Next();
        }
        Expect(":", "\":\" after the port's name");
        BsdlPort port;
        const Token& mode = Peek();
        const std::string strMode = Name("a direction (in, out, inout, buffer or linkage)");
        if (strMode == "IN")
            port.direction = BsdlDirection::In;
        else if (strMode == "OUT")
            port.direction = BsdlDirection::Out;
        else if (strMode == "INOUT")
            port.direction = BsdlDirection::Inout;
        else if (strMode == "BUFFER")
            port.direction = BsdlDirection::Buffer;
        else if (strMode == "LINKAGE")
            port.direction = BsdlDirection::Linkage;
        else
            throw CFailure(mode.nLine, "a direction (in, out, inout, buffer or linkage) was expected, not " + Shown(mode));
        const Token& type = Peek();
        const std::string strType = Name("bit or bit_vector");
        if (strType == "BIT_VECTOR")
        {
            port.bVector = true;
            Expect("(", "\"(\" after bit_vector");
            port.nFirst = Number("the vector's first index");
            const Token& way = Peek();
            const std::string strWay = Name("\"to\" or \"downto\"");
            if (strWay != "TO" && strWay != "DOWNTO")
                throw CFailure(way.nLine, "\"to\" or \"downto\" was expected, not " + Shown(way));
            port.nLast = Number("the vector's last index");
            if ((strWay == "TO") != (port.nFirst <= port.nLast))
                throw CFailure(way.nLine, "the vector's range runs the wrong way for \"" + UpperCase(strWay) + "\"");
            Expect(")", "\")\" after the vector's range");
        }
        else if (strType != "BIT")
            throw CFailure(type.nLine, "bit or bit_vector was expected, not " + Shown(type));
        for (const Token& name : names)
        {
            port.strName = name.text;
            for (const BsdlPort& other : file.ports)
            {
                if (other.strName == port.strName)
                    throw CFailure(name.nLine, "the port " + port.strName + " is declared twice");
            }
            file.ports.push_back(port);
        }
        if (IsSymbol(")"))
            break;
        Expect(";", "\";\" or \")\" after the port's type");
    }
    Next();
    Expect(";", "\";\" after the port list");
}

void CReader::Read(BsdlFile& file)
{
    // Library and use clauses may stand before the entity.
    while (!IsWord("ENTITY"))
    {
        if (Peek().kind == TokenKind::End)
            throw CFailure(Peek().nLine, "\"entity\" was expected: this is no BSDL file");
        if (!IsWord("LIBRARY") && !IsWord("USE"))
            throw CFailure(Peek().nLine, "\"entity\" was expected, not " + Shown(Peek()));
        SkipStatement();
    }
    Next();
    file.strEntity = Name("the entity's name");
    ExpectWord("IS");
    for (;;)
    {
        const Token& token = Peek();
        if (IsWord("GENERIC"))
        {
            Next();
            Generic(file);
        }
        else if (IsWord("PORT"))
        {
            Next();
            Ports(file);
        }
        else if (IsWord("USE"))
            SkipStatement();
        else if (IsWord("ATTRIBUTE"))
        {
            Next();
            const std::string strName = Name("the attribute's name");
            if (IsSymbol(":"))
            {
                // An attribute declared, not given a value.
                SkipStatement();
                continue;
            }
            ExpectWord("OF");
            const std::string strOf = Name("what the attribute is of");
            Expect(":", "\":\"");
            const std::string strClass = Name("entity, signal or another class");
            ExpectWord("IS");
            const Attribute value = Value();
            if (strClass == "ENTITY")
            {
                if (strOf != file.strEntity)
                    throw CFailure(token.nLine, "the attribute " + strName + " is of " + strOf + ", not of the entity " +
                                                    file.strEntity);
                if (m_attributes.count(strName) != 0)
                    throw CFailure(token.nLine, "the attribute " + strName + " is given twice");
                m_attributes[strName] = value;
            }
        }
        else if (IsWord("CONSTANT"))
        {
            Next();
            const std::string strName = Name("the constant's name");
            Expect(":", "\":\"");
            const std::string strType = Name("the constant's type");
            Expect(":=", "\":=\"");
            const Attribute value = Value();
            if (strType == "PIN_MAP_STRING")
                m_constants[strName] = value;
        }
        else if (IsWord("END"))
        {
            Next();
            if (Peek().kind == TokenKind::Word && !IsWord(file.strEntity.c_str()) && !IsWord("ENTITY"))
                throw CFailure(Peek().nLine, "\"end " + file.strEntity + ";\" was expected, not " + Shown(Peek()));
            if (IsWord("ENTITY"))
                Next();
            if (IsWord(file.strEntity.c_str()))
                Next();
            Expect(";", "\";\" after \"end\"");
            m_nEndLine = token.nLine;
            return;
        }
        else
            throw CFailure(token.nLine, "an attribute, constant, use clause or \"end\" was expected, not " + Shown(token));
    }
}

// The text of a string attribute, read as items: names, numbers and bit patterns, and the
// symbols between them.
class CItems
{
public:
    explicit CItems(const Text& text) : m_text(text) { Skip(); }

    bool AtEnd() const { return m_nAt >= m_text.text.size(); }
    // Whether an item of a comma-separated list comes next: a comma is expected after each item
    // but the last (which may have one too).
    bool Next(const char* pszItems)
    {
        if (m_bInList && !AtEnd())
            Expect(',', std::string("\",\" between the ") + pszItems);
        m_bInList = true;
        return !AtEnd();
    }
    int Line() const { return m_text.LineAt(m_nAt); }
    bool Is(char c) const { return !AtEnd() && m_text.text[m_nAt] == c; }
    void Expect(char c, const std::string& strWhat)
    {
        if (!Is(c))
            throw CFailure(Line(), strWhat + " was expected, not " + Here());
        ++m_nAt;
        Skip();
    }
    bool Take(char c)
    {
        if (!Is(c))
            return false;
        ++m_nAt;
        Skip();
        return true;
    }
    std::string Word(const std::string& strWhat)
    {
        const size_t nStart = m_nAt;
        while (!AtEnd() && IsWordChar(m_text.text[m_nAt]))
            ++m_nAt;
        if (nStart == m_nAt)
            throw CFailure(Line(), strWhat + " was expected, not " + Here());
        const std::string word = m_text.text.substr(nStart, m_nAt - nStart);
        Skip();
        return UpperCase(word);
    }
    int Number(const std::string& strWhat)
    {
        const int nLine = Line();
        const std::string word = Word(strWhat);
        if (word.find_first_not_of("0123456789") != std::string::npos || word.size() > 6)
            throw CFailure(nLine, strWhat + " was expected, not \"" + word + "\"");
        return atoi(word.c_str());
    }
    std::string Pattern(const std::string& strWhat, size_t nLength)
    {
        const int nLine = Line();
        const std::string word = Word(strWhat);
        if (word.find_first_not_of("01X") != std::string::npos)
            throw CFailure(nLine, strWhat + " of 0, 1 and X was expected, not \"" + word + "\"");
        if (nLength != 0 && word.size() != nLength)
            throw CFailure(nLine, strWhat + " of " + std::to_string(nLength) + " bits was expected, not \"" + word +
                                      "\" (" + std::to_string(word.size()) + ")");
        return word;
    }
    std::string Here() const
    {
        if (AtEnd())
            return "the end of the string";
        size_t nEnd = m_nAt;
        while (nEnd < m_text.text.size() && nEnd < m_nAt + 12 && !isspace(static_cast<unsigned char>(m_text.text[nEnd])))
            ++nEnd;
        return "\"" + m_text.text.substr(m_nAt, std::max<size_t>(nEnd - m_nAt, 1)) + "\"";
    }

private:
    void Skip()
    {
        while (!AtEnd() && isspace(static_cast<unsigned char>(m_text.text[m_nAt])) != 0)
            ++m_nAt;
    }

    const Text& m_text;
    size_t m_nAt = 0;
    bool m_bInList = false;  // Next has given an item
};

const CReader::Attribute* Find(const std::map<std::string, CReader::Attribute>& attributes, const char* pszName)
{
    const auto it = attributes.find(pszName);
    return it == attributes.end() ? nullptr : &it->second;
}

const CReader::Attribute& Need(const std::map<std::string, CReader::Attribute>& attributes, const char* pszName,
                               int nEndLine)
{
    const CReader::Attribute* pValue = Find(attributes, pszName);
    if (pValue == nullptr)
        throw CFailure(nEndLine, std::string("the attribute ") + pszName + " was expected before the entity's end");
    return *pValue;
}

const Text& StringOf(const CReader::Attribute& value, const char* pszName)
{
    if (!value.bString)
        throw CFailure(value.first.nLine, std::string(pszName) + " was expected as a string, not " + Shown(value.first));
    return value.text;
}

size_t NumberOf(const CReader::Attribute& value, const char* pszName)
{
    if (value.bString || value.strWord.find_first_not_of("0123456789") != std::string::npos || value.strWord.size() > 6)
        throw CFailure(value.first.nLine, std::string(pszName) + " was expected as a number, not " + Shown(value.first));
    return static_cast<size_t>(atoi(value.strWord.c_str()));
}

BsdlPort* FindPort(BsdlFile& file, const std::string& strName)
{
    for (BsdlPort& port : file.ports)
    {
        if (port.strName == strName)
            return &port;
    }
    return nullptr;
}

void ReadPinMap(const Text& text, BsdlFile& file)
{
    CItems items(text);
    while (items.Next("ports"))
    {
        const int nLine = items.Line();
        const std::string strPort = items.Word("a port's name");
        BsdlPort* pPort = FindPort(file, strPort);
        if (pPort == nullptr)
            throw CFailure(nLine, "the pin map names the port " + strPort + ", which the port list does not have");
        items.Expect(':', "\":\" after " + strPort);
        std::vector<std::string> pins;
        if (items.Take('('))
        {
            do
                pins.push_back(items.Word("a pin"));
            while (items.Take(','));
            items.Expect(')', "\")\" after " + strPort + "'s pins");
        }
        else
            pins.push_back(items.Word("a pin"));
        const size_t nElements = pPort->bVector ? static_cast<size_t>(std::abs(pPort->nLast - pPort->nFirst) + 1) : 1;
        if (pins.size() != nElements)
            throw CFailure(nLine, "the port " + strPort + " has " + std::to_string(nElements) + " element" +
                                      (nElements == 1 ? "" : "s") + ", the pin map gives it " + std::to_string(pins.size()) +
                                      " pin" + (pins.size() == 1 ? "" : "s"));
        pPort->pins = pins;
    }
}

void ReadOpcodes(const Text& text, BsdlFile& file)
{
    CItems items(text);
    while (items.Next("instructions"))
    {
        const int nLine = items.Line();
        BsdlInstruction instruction;
        instruction.strName = items.Word("an instruction's name");
        if (file.Instruction(instruction.strName) != nullptr)
            throw CFailure(nLine, "the instruction " + instruction.strName + " is given twice");
        items.Expect('(', "\"(\" after " + instruction.strName);
        do
            instruction.opcodes.push_back(items.Pattern(instruction.strName + "'s opcode", file.nIrLength));
        while (items.Take(','));
        items.Expect(')', "\")\" after " + instruction.strName + "'s opcodes");
        file.instructions.push_back(instruction);
    }
}

void ReadRegisterAccess(const Text& text, BsdlFile& file)
{
    CItems items(text);
    while (items.Next("registers"))
    {
        const int nLine = items.Line();
        BsdlRegister reg;
        reg.strName = items.Word("a register's name");
        if (items.Take('['))
        {
            reg.nLength = static_cast<size_t>(items.Number(reg.strName + "'s length"));
            items.Expect(']', "\"]\" after " + reg.strName + "'s length");
        }
        else if (reg.strName == "BOUNDARY")
            reg.nLength = file.nBoundaryLength;
        else if (reg.strName == "BYPASS")
            reg.nLength = 1;
        else if (reg.strName == "DEVICE_ID")
            reg.nLength = 32;
        else
            throw CFailure(nLine, "the register " + reg.strName + "'s length was expected in brackets, as " + reg.strName + "[8]");
        if (reg.nLength == 0)
            throw CFailure(nLine, "the register " + reg.strName + " is given no length");
        items.Expect('(', "\"(\" after " + reg.strName);
        do
        {
            const int nAt = items.Line();
            const std::string strName = items.Word("an instruction's name");
            auto it = std::find_if(file.instructions.begin(), file.instructions.end(),
                                   [&](const BsdlInstruction& instruction) { return instruction.strName == strName; });
            if (it == file.instructions.end())
                throw CFailure(nAt, "REGISTER_ACCESS names the instruction " + strName + ", which has no opcode");
            it->strRegister = reg.strName;
        } while (items.Take(','));
        items.Expect(')', "\")\" after " + reg.strName + "'s instructions");
        bool bKnown = false;
        for (const BsdlRegister& other : file.registers)
            bKnown = bKnown || other.strName == reg.strName;
        if (!bKnown)
            file.registers.push_back(reg);
    }
}

struct FunctionName
{
    const char* pszName;
    BsdlFunction function;
};

const FunctionName FUNCTIONS[] = {
    {"INPUT", BsdlFunction::Input},     {"CLOCK", BsdlFunction::Clock},       {"OBSERVE_ONLY", BsdlFunction::ObserveOnly},
    {"OUTPUT2", BsdlFunction::Output2}, {"OUTPUT3", BsdlFunction::Output3},   {"CONTROL", BsdlFunction::Control},
    {"CONTROLR", BsdlFunction::ControlR}, {"BIDIR", BsdlFunction::Bidir},   {"INTERNAL", BsdlFunction::Internal},
};

bool Reads(BsdlFunction function)
{
    return function == BsdlFunction::Input || function == BsdlFunction::Clock || function == BsdlFunction::ObserveOnly;
}

// What a merged cell's other description may be.
bool Merges(BsdlFunction function)
{
    return function == BsdlFunction::Control || function == BsdlFunction::ControlR ||
           function == BsdlFunction::Output2 || function == BsdlFunction::Output3;
}

// "output3": as a file writes a function.
std::string NameOf(BsdlFunction function)
{
    std::string text = "internal";
    for (const FunctionName& name : FUNCTIONS)
    {
        if (name.function == function)
            text = name.pszName;
    }
    for (char& c : text)
        c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    return text;
}

void ReadBoundary(const Text& text, BsdlFile& file)
{
    CItems items(text);
    // The cells as the file gives them, put in their places at the end: what is held grows with
    // the file, not with the length it declares.
    std::vector<BsdlCell> cells;
    while (items.Next("cells"))
    {
        BsdlCell cell;
        cell.nLine = items.Line();
        cell.nNumber = items.Number("a cell's number");
        if (static_cast<size_t>(cell.nNumber) >= file.nBoundaryLength)
            throw CFailure(cell.nLine, "cell " + std::to_string(cell.nNumber) + " lies beyond BOUNDARY_LENGTH (" +
                                           std::to_string(file.nBoundaryLength) + ")");
        const std::string strCell = "cell " + std::to_string(cell.nNumber);
        items.Expect('(', "\"(\" after " + strCell);
        cell.strCell = items.Word(strCell + "'s type (BC_1, ...)");
        items.Expect(',', "\",\" after " + strCell + "'s type");
        if (items.Take('*'))
            cell.strPort = "*";
        else
        {
            const int nLine = items.Line();
            cell.strPort = items.Word(strCell + "'s port or *");
            BsdlPort* pPort = FindPort(file, cell.strPort);
            if (pPort == nullptr)
                throw CFailure(nLine, strCell + " names the port " + cell.strPort + ", which the port list does not have");
            if (items.Take('('))
            {
                const int nIndex = items.Number(cell.strPort + "'s index");
                if (!pPort->bVector || nIndex < std::min(pPort->nFirst, pPort->nLast) ||
                    nIndex > std::max(pPort->nFirst, pPort->nLast))
                    throw CFailure(nLine, strCell + " names " + cell.strPort + "(" + std::to_string(nIndex) +
                                              "), which the port list does not have");
                cell.strPort += "(" + std::to_string(nIndex) + ")";
                items.Expect(')', "\")\" after the index");
            }
            else if (pPort->bVector)
                throw CFailure(nLine, strCell + " names the vector " + cell.strPort + " without an index");
        }
        items.Expect(',', "\",\" after " + strCell + "'s port");
        const int nFunctionLine = items.Line();
        const std::string strFunction = items.Word(strCell + "'s function");
        bool bFound = false;
        for (const FunctionName& name : FUNCTIONS)
        {
            if (strFunction == name.pszName)
            {
                cell.function = name.function;
                bFound = true;
            }
        }
        if (!bFound)
            throw CFailure(nFunctionLine, strCell + "'s function (input, output2, output3, control, bidir, ...) was expected, "
                                          "not \"" + strFunction + "\"");
        items.Expect(',', "\",\" after " + strCell + "'s function");
        cell.cSafe = items.Pattern(strCell + "'s safe value", 1)[0];
        if (items.Take(','))
        {
            const int nControlLine = items.Line();
            cell.nControl = items.Number(strCell + "'s control cell");
            if (static_cast<size_t>(cell.nControl) >= file.nBoundaryLength)
                throw CFailure(nControlLine, strCell + "'s control cell " + std::to_string(cell.nControl) +
                                                 " lies beyond BOUNDARY_LENGTH");
            items.Expect(',', "\",\" after " + strCell + "'s control cell");
            const std::string strDisable = items.Pattern(strCell + "'s disable value", 1);
            if (strDisable == "X")
                throw CFailure(nControlLine, strCell + "'s disable value 0 or 1 was expected, not X");
            cell.cDisable = strDisable[0];
            items.Expect(',', "\",\" after " + strCell + "'s disable value");
            cell.strResult = items.Word(strCell + "'s disable result (Z, WEAK0, PULL1, ...)");
        }
        items.Expect(')', "\")\" after " + strCell);
        cells.push_back(cell);
    }
    std::stable_sort(cells.begin(), cells.end(),
                     [](const BsdlCell& a, const BsdlCell& b) { return a.nNumber < b.nNumber; });
    file.cells.clear();
    for (size_t i = 0; i < cells.size(); ++i)
    {
        const BsdlCell& cell = cells[i];
        if (!file.cells.empty() && file.cells.back().nNumber == cell.nNumber)
        {
            // A merged cell: an input that is also a control or an output, as 1149.1 allows.
            BsdlCell& first = file.cells.back();
            const bool bFirstReads = Reads(first.function), bReads = Reads(cell.function);
            if (bFirstReads == bReads || !first.strAlsoPort.empty() || !Merges(bReads ? first.function : cell.function))
                throw CFailure(cell.nLine, "cell " + std::to_string(cell.nNumber) + " is described twice, as " +
                                               NameOf(first.function) + " and " + NameOf(cell.function) +
                                               ": a cell is described twice only as an input and a control or "
                                               "output");
            const BsdlCell input = bReads ? cell : first;
            if (bFirstReads)
                first = cell;
            first.alsoFunction = input.function;
            first.strAlsoPort = input.strPort;
            continue;
        }
        if (static_cast<size_t>(cell.nNumber) != file.cells.size())
            break;
        file.cells.push_back(cell);
    }
    if (file.cells.size() != file.nBoundaryLength)
        throw CFailure(text.LineAt(text.text.size()), "cell " + std::to_string(file.cells.size()) + " of the " +
                                                          std::to_string(file.nBoundaryLength) + " is not described");
}

// The registers every 1149.1 chip has, for the instructions REGISTER_ACCESS need not name.
void AddStandardRegisters(BsdlFile& file)
{
    struct Standard
    {
        const char* pszInstruction;
        const char* pszRegister;
    };
    const Standard STANDARD[] = {
        {"BYPASS", "BYPASS"},     {"SAMPLE", "BOUNDARY"}, {"PRELOAD", "BOUNDARY"}, {"EXTEST", "BOUNDARY"},
        {"INTEST", "BOUNDARY"},   {"IDCODE", "DEVICE_ID"}, {"USERCODE", "DEVICE_ID"}, {"HIGHZ", "BYPASS"},
        {"CLAMP", "BYPASS"},
    };
    for (BsdlInstruction& instruction : file.instructions)
    {
        for (const Standard& standard : STANDARD)
        {
            if (instruction.strRegister.empty() && instruction.strName == standard.pszInstruction)
                instruction.strRegister = standard.pszRegister;
        }
    }
    const BsdlRegister REGISTERS[] = {{"BYPASS", 1}, {"BOUNDARY", file.nBoundaryLength}, {"DEVICE_ID", 32}};
    for (const BsdlRegister& reg : REGISTERS)
    {
        bool bKnown = false;
        for (const BsdlRegister& other : file.registers)
            bKnown = bKnown || other.strName == reg.strName;
        bool bUsed = false;
        for (const BsdlInstruction& instruction : file.instructions)
            bUsed = bUsed || instruction.strRegister == reg.strName;
        if (!bKnown && bUsed)
            file.registers.push_back(reg);
    }
}

// "(TEST_EN, MODE(1)) (10, 11)": the ports, then the patterns they may be held at; the first
// pattern is kept, its leftmost bit the first port's.
void ReadCompliance(const Text& text, BsdlFile& file)
{
    CItems items(text);
    std::vector<std::string> ports;
    items.Expect('(', "\"(\" before COMPLIANCE_PATTERNS's ports");
    do
    {
        std::string strPort = items.Word("a port of COMPLIANCE_PATTERNS");
        if (items.Take('('))
        {
            strPort += "(" + std::to_string(items.Number("an element's number")) + ")";
            items.Expect(')', "\")\" after the element's number");
        }
        ports.push_back(strPort);
    } while (items.Take(','));
    items.Expect(')', "\")\" after COMPLIANCE_PATTERNS's ports");
    items.Expect('(', "\"(\" before COMPLIANCE_PATTERNS's patterns");
    const std::string strPattern = items.Pattern("a pattern of COMPLIANCE_PATTERNS", ports.size());
    while (items.Take(','))
        items.Pattern("a pattern of COMPLIANCE_PATTERNS", ports.size());
    items.Expect(')', "\")\" after COMPLIANCE_PATTERNS's patterns");
    if (!items.AtEnd())
        throw CFailure(items.Line(), "the end of COMPLIANCE_PATTERNS was expected, not " + items.Here());
    for (size_t i = 0; i < ports.size(); ++i)
        file.compliance.emplace_back(ports[i], strPattern[i]);
}

void Interpret(const CReader& reader, BsdlFile& file)
{
    const int nEnd = reader.m_nEndLine;
    const auto& attributes = reader.m_attributes;
    file.nIrLength = NumberOf(Need(attributes, "INSTRUCTION_LENGTH", nEnd), "INSTRUCTION_LENGTH");
    if (file.nIrLength < 2 || file.nIrLength > 64)
        throw CFailure(Need(attributes, "INSTRUCTION_LENGTH", nEnd).first.nLine,
                       "INSTRUCTION_LENGTH from 2 to 64 was expected, not " + std::to_string(file.nIrLength));
    ReadOpcodes(StringOf(Need(attributes, "INSTRUCTION_OPCODE", nEnd), "INSTRUCTION_OPCODE"), file);
    {
        CItems items(StringOf(Need(attributes, "INSTRUCTION_CAPTURE", nEnd), "INSTRUCTION_CAPTURE"));
        file.strIrCapture = items.Pattern("INSTRUCTION_CAPTURE", file.nIrLength);
        if (!items.AtEnd())
            throw CFailure(items.Line(), "the end of INSTRUCTION_CAPTURE was expected, not " + items.Here());
    }
    const char* const CODES[] = {"IDCODE_REGISTER", "USERCODE_REGISTER"};
    for (const char* pszCode : CODES)
    {
        const CReader::Attribute* pCode = Find(attributes, pszCode);
        if (pCode == nullptr)
            continue;
        CItems items(StringOf(*pCode, pszCode));
        std::string strBits;
        while (!items.AtEnd())
            strBits += items.Pattern(pszCode, 0);
        if (strBits.size() != 32)
            throw CFailure(pCode->first.nLine, std::string(pszCode) + " of 32 bits was expected, not " +
                                                   std::to_string(strBits.size()));
        (std::string(pszCode) == "IDCODE_REGISTER" ? file.strIdcode : file.strUsercode) = strBits;
    }
    const CReader::Attribute& length = Need(attributes, "BOUNDARY_LENGTH", nEnd);
    file.nBoundaryLength = NumberOf(length, "BOUNDARY_LENGTH");
    if (file.nBoundaryLength == 0)
        throw CFailure(length.first.nLine, "BOUNDARY_LENGTH of at least 1 was expected");
    if (const CReader::Attribute* pAccess = Find(attributes, "REGISTER_ACCESS"))
        ReadRegisterAccess(StringOf(*pAccess, "REGISTER_ACCESS"), file);
    AddStandardRegisters(file);
    if (const CReader::Attribute* pCompliance = Find(attributes, "COMPLIANCE_PATTERNS"))
        ReadCompliance(StringOf(*pCompliance, "COMPLIANCE_PATTERNS"), file);
    ReadBoundary(StringOf(Need(attributes, "BOUNDARY_REGISTER", nEnd), "BOUNDARY_REGISTER"), file);
    for (const BsdlCell& cell : file.cells)
    {
        if (cell.nControl >= 0 && file.cells[cell.nControl].function != BsdlFunction::Control &&
            file.cells[cell.nControl].function != BsdlFunction::ControlR)
            throw CFailure(cell.nLine, "cell " + std::to_string(cell.nNumber) + "'s control cell " +
                                           std::to_string(cell.nControl) + " is no control cell");
    }
    // The pin map the package names; a file without a generic may have just one.
    const CReader::Attribute* pMap = nullptr;
    if (!file.strPackage.empty())
    {
        const auto it = reader.m_constants.find(UpperCase(file.strPackage));
        if (it == reader.m_constants.end())
            throw CFailure(nEnd, "the pin map " + file.strPackage + " that PHYSICAL_PIN_MAP names was expected");
        pMap = &it->second;
    }
    else if (reader.m_constants.size() == 1)
    {
        file.strPackage = reader.m_constants.begin()->first;
        pMap = &reader.m_constants.begin()->second;
    }
    if (pMap != nullptr)
        ReadPinMap(StringOf(*pMap, "PIN_MAP_STRING"), file);
}

bool Matches(const std::string& strPattern, const CBits& bits)
{
    if (bits.size() != strPattern.size())
        return false;
    for (size_t i = 0; i < bits.size(); ++i)
    {
        const char c = strPattern[strPattern.size() - 1 - i];
        if (c != 'X' && (c == '1') != bits[i])
            return false;
    }
    return true;
}

} // namespace

CBits PatternBits(const std::string& strPattern)
{
    CBits bits(strPattern.size(), false);
    for (size_t i = 0; i < strPattern.size(); ++i)
        bits.Set(i, strPattern[strPattern.size() - 1 - i] == '1');
    return bits;
}

NamedInstruction InstructionByName(const BsdlFile& file, const std::string& text, CBits& bits,
                                   std::string& strError)
{
    const size_t nStart = text.find_first_not_of(" \t");
    const size_t nEnd = nStart == std::string::npos ? std::string::npos : text.find_first_of(" \t", nStart);
    const std::string strName = nStart == std::string::npos ? std::string() : text.substr(nStart, nEnd - nStart);
    const BsdlInstruction* pInstruction = file.Instruction(strName);
    if (pInstruction == nullptr)
        return NamedInstruction::NoSuchName;
    std::string strRest = nEnd == std::string::npos ? std::string() : text.substr(nEnd);
    const size_t nFirst = strRest.find_first_not_of(" \t");
    strRest = nFirst == std::string::npos ? std::string() : strRest.substr(nFirst, strRest.find_last_not_of(" \t") - nFirst + 1);
    std::string strOpcode = pInstruction->opcodes.front();
    for (const std::string& opcode : pInstruction->opcodes)
        strOpcode = strRest == opcode ? opcode : strOpcode;
    if (!strRest.empty() && strRest != strOpcode)
    {
        strError = strRest + " is no opcode of " + pInstruction->strName + " in " + file.strPath + ".";
        return NamedInstruction::WrongOpcode;
    }
    bits = PatternBits(strOpcode);
    return NamedInstruction::Found;
}

const BsdlInstruction* BsdlFile::Instruction(const std::string& strName) const
{
    const std::string strWanted = UpperCase(strName);
    for (const BsdlInstruction& instruction : instructions)
    {
        if (instruction.strName == strWanted)
            return &instruction;
    }
    return nullptr;
}

const BsdlInstruction* BsdlFile::InstructionOf(const CBits& bits) const
{
    for (const BsdlInstruction& instruction : instructions)
    {
        for (const std::string& opcode : instruction.opcodes)
        {
            if (Matches(opcode, bits))
                return &instruction;
        }
    }
    return nullptr;
}

size_t BsdlFile::RegisterLength(const BsdlInstruction& instruction) const
{
    for (const BsdlRegister& reg : registers)
    {
        if (reg.strName == instruction.strRegister)
            return reg.nLength;
    }
    return 0;
}

bool BsdlFile::MatchesIdcode(uint32_t nIdcode) const
{
    CBits bits(32, false);
    for (size_t i = 0; i < 32; ++i)
        bits.Set(i, (nIdcode >> i & 1) != 0);
    return !strIdcode.empty() && Matches(strIdcode, bits);
}

bool BsdlFile::MatchesIrCapture(const CBits& bits) const
{
    return Matches(strIrCapture, bits);
}

std::string BsdlFile::ListEntry(const BsdlInstruction& instruction)
{
    return instruction.strName + "  " + instruction.opcodes.front();
}

bool ParseBsdl(const std::string& strText, const std::string& strName, BsdlFile& file, std::string& strError)
{
    BsdlFile read;
    read.strPath = strName;
    try
    {
        CReader reader(strText);
        reader.Read(read);
        Interpret(reader, read);
    }
    catch (const CFailure& failure)
    {
        strError = strName + ":" + std::to_string(failure.m_nLine) + ": " + failure.m_strWhat + ".";
        return false;
    }
    file = std::move(read);
    return true;
}

bool ReadTextFile(const std::string& strPath, std::string& text, std::string& strError)
{
    HANDLE hFile = ::CreateFileA(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile == INVALID_HANDLE_VALUE)
    {
        strError = strPath + ": the file cannot be opened.";
        return false;
    }
    text.clear();
    char buffer[65536];
    DWORD dwRead = 0;
    bool bRead = true;
    while ((bRead = ::ReadFile(hFile, buffer, sizeof(buffer), &dwRead, nullptr) != FALSE) && dwRead > 0)
        text.append(buffer, dwRead);
    ::CloseHandle(hFile);
    if (!bRead)
    {
        strError = strPath + ": the file cannot be read.";
        return false;
    }
    return true;
}

bool ReadBsdlFile(const std::string& strPath, BsdlFile& file, std::string& strError)
{
    std::string text;
    return ReadTextFile(strPath, text, strError) && ParseBsdl(text, strPath, file, strError);
}

std::vector<std::string> DescribeBsdl(const BsdlFile& file)
{
    std::vector<std::string> lines;
    lines.push_back("entity " + file.strEntity + (file.strPackage.empty() ? "" : "  package " + file.strPackage));
    lines.push_back("IR length " + std::to_string(file.nIrLength) + "  capture " + file.strIrCapture);
    lines.push_back("IDCODE " + (file.strIdcode.empty() ? std::string("none") : file.strIdcode));
    if (!file.strUsercode.empty())
        lines.push_back("USERCODE " + file.strUsercode);
    for (const BsdlInstruction& instruction : file.instructions)
    {
        std::string line = "instruction " + instruction.strName;
        for (const std::string& opcode : instruction.opcodes)
            line += " " + opcode;
        if (!instruction.strRegister.empty())
            line += "  register " + instruction.strRegister;
        lines.push_back(line);
    }
    for (const BsdlRegister& reg : file.registers)
        lines.push_back("register " + reg.strName + " " + std::to_string(reg.nLength));
    lines.push_back("boundary length " + std::to_string(file.nBoundaryLength));
    return lines;
}
