#include "catalog.h"

namespace {

// A sentence ends at a full stop and a space before a capital: "e.g. lpt:0xD010" goes on.
bool EndsSentence(const std::string& text, size_t i)
{
    return text.compare(i, 2, ". ") == 0 && i + 2 < text.size() && text[i + 2] >= 'A' && text[i + 2] <= 'Z';
}

bool IsMark(const std::string& text, size_t i)
{
    return text[i] == '%' && i + 1 < text.size() && text[i + 1] >= '1' && text[i + 1] <= '9';
}

bool Unescape(const std::string& line, std::string& text)
{
    text.clear();
    for (size_t i = 0; i < line.size(); ++i)
    {
        if (line[i] != '\\')
        {
            text += line[i];
            continue;
        }
        if (++i == line.size())
            return false;
        if (line[i] == 'n')
            text += '\n';
        else if (line[i] == 't')
            text += '\t';
        else if (line[i] == '\\')
            text += '\\';
        else
            return false;
    }
    return true;
}

// Which marks a text holds, one bit each; false where two stand together, which no text can split.
bool Marks(const std::string& text, unsigned& nMarks)
{
    nMarks = 0;
    for (size_t i = 0; i < text.size(); ++i)
    {
        if (!IsMark(text, i))
            continue;
        if (i + 2 < text.size() && IsMark(text, i + 2))
            return false;
        nMarks |= 1u << (text[i + 1] - '0');
        ++i;
    }
    return true;
}

// Each mark takes the shortest part after which the rest still matches; a part lies within one
// sentence of one line.
bool Match(const std::string& pattern, size_t p, const std::string& text, size_t t, std::string parts[10])
{
    while (p < pattern.size())
    {
        if (IsMark(pattern, p))
        {
            const int n = pattern[p + 1] - '0';
            for (size_t end = t; end <= text.size(); ++end)
            {
                if (Match(pattern, p + 2, text, end, parts))
                {
                    parts[n] = text.substr(t, end - t);
                    return true;
                }
                if (end < text.size() && (text[end] == '\n' || (end > t && EndsSentence(text, end - 1))))
                    return false;
            }
            return false;
        }
        if (t == text.size() || pattern[p] != text[t])
            return false;
        ++p;
        ++t;
    }
    return t == text.size();
}

size_t EnglishLetters(const std::string& text)
{
    size_t nLetters = 0;
    for (char c : text)
        nLetters += (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ? 1 : 0;
    return nLetters;
}

} // namespace

bool CMessageCatalog::Read(const std::string& text, std::string& strError, CONVERT pfnConvert)
{
    m_entries.clear();
    std::vector<Entry> entries;
    std::string english;
    int nEnglishLine = 0;
    int nLine = 0;
    for (size_t nStart = 0; nStart < text.size();)
    {
        size_t nEnd = text.find('\n', nStart);
        if (nEnd == std::string::npos)
            nEnd = text.size();
        std::string line = text.substr(nStart, nEnd - nStart);
        nStart = nEnd + 1;
        ++nLine;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        const std::string where = "line " + std::to_string(nLine) + ": ";
        const bool bEnglish = line.compare(0, 4, "en: ") == 0;
        if (!bEnglish && line.compare(0, 4, "ja: ") != 0)
        {
            strError = where + "an entry's lines start with \"en: \" and \"ja: \".";
            return false;
        }
        if (bEnglish != english.empty() || (bEnglish && nEnglishLine != 0))
        {
            strError = where + (bEnglish ? "the English text before has no translation." : "a translation needs its English text first.");
            return false;
        }
        std::string unescaped;
        unsigned nMarks = 0;
        const bool bRead = Unescape(line.substr(4), unescaped);
        if (!bEnglish && pfnConvert != nullptr)
            unescaped = pfnConvert(unescaped);
        if (!bRead || unescaped.empty() || !Marks(unescaped, nMarks))
        {
            strError = where + "a text is not empty, its \\ comes before n, t or \\, and no two marks stand together.";
            return false;
        }
        if (bEnglish)
        {
            english = unescaped;
            nEnglishLine = nLine;
            continue;
        }
        unsigned nEnglishMarks = 0;
        Marks(english, nEnglishMarks);
        if (nMarks != nEnglishMarks)
        {
            strError = where + "the translation's marks are not those of its English text.";
            return false;
        }
        size_t nLiteral = english.size();
        for (size_t i = 0; i < english.size(); ++i)
            nLiteral -= IsMark(english, i) ? 2 : 0;
        entries.push_back({english, unescaped, nLiteral});
        english.clear();
        nEnglishLine = 0;
    }
    if (!english.empty())
    {
        strError = "line " + std::to_string(nEnglishLine) + ": the English text has no translation.";
        return false;
    }
    m_entries = entries;
    return true;
}

std::string CMessageCatalog::Translate(const std::string& text) const
{
    std::string translated;
    if (TranslateWhole(text, translated))
        return translated;
    // A column padded with spaces: the words after them are translated.
    const size_t nWords = text.find_first_not_of(' ');
    if (nWords != 0 && nWords != std::string::npos)
        return text.substr(0, nWords) + Translate(text.substr(nWords));
    for (const char* pszBreak : {"\n\n", "\n"})
    {
        const std::string breakText = pszBreak;
        if (text.find(breakText) == std::string::npos)
            continue;
        translated.clear();
        for (size_t nStart = 0;;)
        {
            const size_t nEnd = text.find(breakText, nStart);
            translated += Translate(text.substr(nStart, nEnd == std::string::npos ? std::string::npos : nEnd - nStart));
            if (nEnd == std::string::npos)
                return translated;
            translated += breakText;
            nStart = nEnd + breakText.size();
        }
    }
    // Then one sentence at a time, each keeping its full stop; a Japanese one needs no space after it.
    for (size_t i = 0; i < text.size(); ++i)
    {
        if (!EndsSentence(text, i))
            continue;
        translated = Translate(text.substr(0, i + 1));
        if (translated.size() < 2 || translated.compare(translated.size() - 2, 2, "\x81\x42") != 0)
            translated += ' ';
        return translated + Translate(text.substr(i + 2));
    }
    return text;
}

bool CMessageCatalog::TranslateWhole(const std::string& text, std::string& translated) const
{
    // Where several entries match, the one that leaves the fewest English letters is right: a
    // message and a sentence added to it match both the message's entry and the sentence's.
    // Then the one whose longest part is shortest: an entry with a mark at its end could take a
    // whole message into that part.
    bool bFound = false;
    size_t nBestLetters = 0;
    size_t nBestLongest = 0;
    size_t nBestLiteral = 0;
    for (const Entry& entry : m_entries)
    {
        std::string parts[10];
        if (!Match(entry.english, 0, text, 0, parts))
            continue;
        std::string candidate;
        const std::string& pattern = entry.translated;
        for (size_t i = 0; i < pattern.size(); ++i)
        {
            if (IsMark(pattern, i))
                candidate += Translate(parts[pattern[++i] - '0']);
            else
                candidate += pattern[i];
        }
        const size_t nLetters = EnglishLetters(candidate);
        size_t nLongest = 0;
        for (const std::string& part : parts)
            nLongest = part.size() > nLongest ? part.size() : nLongest;
        if (!bFound || nLetters < nBestLetters ||
            (nLetters == nBestLetters &&
             (nLongest < nBestLongest || (nLongest == nBestLongest && entry.nLiteral > nBestLiteral))))
        {
            bFound = true;
            nBestLetters = nLetters;
            nBestLongest = nLongest;
            nBestLiteral = entry.nLiteral;
            translated = candidate;
        }
    }
    return bFound;
}
