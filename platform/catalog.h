// A catalog of the program's English texts in another language. The code builds its messages in
// English, from parts (a cable's name, a path, the system's own words); an entry of the catalog
// is one such message with %1 to %9 where the parts go, and its translation with the same marks:
//
//     en: %1 could not be reached: %2.
//     ja: %1に接続できません: %2。
//
// \n and \t in either line stand for a line break and a tab. Lines starting with # are comments.
#pragma once

#include <string>
#include <vector>

class CMessageCatalog
{
public:
    // The catalog is written in UTF-8; pfnConvert, if given, turns each translation into the
    // code page the program's texts are in.
    typedef std::string (*CONVERT)(const std::string& utf8);

    // False, with the line and what is wrong, for a catalog with an entry that cannot be used.
    bool Read(const std::string& text, std::string& strError, CONVERT pfnConvert = nullptr);

    // The text translated: as a whole where an entry matches it, else paragraph by paragraph and
    // line by line; the parts, each within one line, are translated the same way. What no entry
    // matches stays as it is.
    std::string Translate(const std::string& text) const;

    size_t Size() const { return m_entries.size(); }

private:
    struct Entry
    {
        std::string english;
        std::string translated;
        size_t nLiteral;  // characters outside the marks
    };

    bool TranslateWhole(const std::string& text, std::string& translated) const;

    std::vector<Entry> m_entries;
};
