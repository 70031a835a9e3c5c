// A board's netlist: the pins of the parts each net joins, read from KiCad's exported netlist (the
// S-expression .net file of KiCad 6 and later) or from a plain CSV of net,ref,pin lines that any
// other EDA tool can write.
#pragma once

#include <string>
#include <vector>

struct NetNode
{
    std::string ref;  // the part's reference designator, "U3"
    std::string pin;  // its pin, "12" or "A7"
};

struct Net
{
    std::string name;
    std::vector<NetNode> nodes;
};

struct Netlist
{
    std::vector<Net> nets;  // in the file's order

    // The net of that name, or null.
    const Net* Find(const std::string& name) const;
};

// The text as KiCad's netlist where it starts with "(", else as CSV. False, with the line and
// what is wrong, where it is neither; the netlist is then empty. A pin may stand on one net only.
bool ParseNetlist(const std::string& text, Netlist& netlist, std::string& strError);
bool ParseKicadNetlist(const std::string& text, Netlist& netlist, std::string& strError);
bool ParseCsvNetlist(const std::string& text, Netlist& netlist, std::string& strError);
