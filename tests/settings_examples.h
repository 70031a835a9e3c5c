// The settings examples of the README, the user's and developers' guides and the manual page, as
// a person copies them: each run of "[section]" and "key=value" lines, blank lines between
// sections included.
#pragma once

#include <fstream>
#include <string>
#include <vector>

struct SettingsExample
{
    std::string strWhere;  // "README.md:205"
    std::string strText;
};

inline std::string Stripped(const std::string& line)
{
    const size_t first = line.find_first_not_of(" \t\r");
    return first == std::string::npos ? std::string() : line.substr(first);
}

inline bool IsSectionLine(const std::string& text)
{
    return text.size() > 2 && text[0] == '[' && text.find(']') == text.size() - 1 &&
           text.find_first_not_of("abcdefghijklmnopqrstuvwxyz ", 1) == text.size() - 1;
}

inline bool IsKeyLine(const std::string& text)
{
    const size_t equals = text.find('=');
    return equals != std::string::npos && equals > 0 &&
           text.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789") == equals;
}

inline std::vector<SettingsExample> SettingsExamples(const std::string& strSourceDir)
{
    std::vector<SettingsExample> examples;
    for (const char* pszFile : {"README.md", "docs/guide.md", "docs/developers.md", "package/deb/morva.1"})
    {
        std::ifstream file(strSourceDir + "/" + pszFile);
        std::vector<std::string> lines;
        std::string line;
        while (std::getline(file, line))
            lines.push_back(Stripped(line));
        for (size_t i = 0; i < lines.size(); ++i)
        {
            if (!IsSectionLine(lines[i]))
                continue;
            SettingsExample example;
            example.strWhere = std::string(pszFile) + ":" + std::to_string(i + 1);
            size_t j = i;
            while (j < lines.size() && (IsSectionLine(lines[j]) || IsKeyLine(lines[j]) ||
                                        (lines[j].empty() && j + 1 < lines.size() && IsSectionLine(lines[j + 1]))))
                example.strText += lines[j++] + "\n";
            examples.push_back(example);
            i = j;
        }
    }
    return examples;
}
