// What the window's cable list (1042) asks of the program: the cables there are, the one in use,
// and a change of cable. The program gives it; a window without one keeps the list as it was
// drawn, disabled.
#pragma once

#include <string>
#include <vector>

class CCableList
{
public:
    struct Entry
    {
        std::string strName;  // as a person writes it: "sim", "ftdi:MV2232/B"
        std::string strWhat;  // "simulated board"
    };

    virtual ~CCableList() {}
    // The cables to offer, looked up now.
    virtual std::vector<Entry> Cables() = 0;
    virtual Entry InUse() const = 0;
    // Closes the cable in use and opens that one. False, with why, when it cannot be opened:
    // the cable in use before is in use again. True with strError set: in use, but the choice
    // could not be kept for the next start.
    virtual bool Use(const std::string& strName, std::string& strError) = 0;
    // Why the cable in use is not the one the start asked for ("parallel port /dev/parport0
    // could not be opened"), for the window's title; empty when it is.
    virtual std::string Note() const { return std::string(); }
};

// "sim  simulated board": how an entry reads in the list dropped down; closed, it reads "sim".
std::string CableListText(const CCableList::Entry& entry);
