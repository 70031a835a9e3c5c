// What every stand-in of a library keeps: the calls made to it, a line each, taken by the test;
// and the one stand-in of each kind a process has, made at its first use or afresh.
#pragma once

#include <memory>
#include <string>
#include <vector>

struct CallLog
{
    std::vector<std::string> log;

    // The lines since the last take.
    std::vector<std::string> Take()
    {
        std::vector<std::string> lines;
        lines.swap(log);
        return lines;
    }
};

// The stand-in of that kind: made at the first use, and made afresh where bAfresh.
template <class T>
T& StandinOf(bool bAfresh = false)
{
    static std::unique_ptr<T> s_pStandin;
    if (bAfresh || !s_pStandin)
        s_pStandin.reset(new T);
    return *s_pStandin;
}
