// A board's netlist read from KiCad's export and from CSV: the nets and the pins they join, and
// every kind of file refused with its line.
#include <gtest/gtest.h>

#include "board/Netlist.h"

namespace {

// "SDA: U3.12 U7.5" for each net.
std::vector<std::string> Lines(const Netlist& netlist)
{
    std::vector<std::string> lines;
    for (const Net& net : netlist.nets)
    {
        std::string line = net.name + ":";
        for (const NetNode& node : net.nodes)
            line += " " + node.ref + "." + node.pin;
        lines.push_back(line);
    }
    return lines;
}

// As KiCad 7 exports it, abridged: the design and components before the nets, whose names and
// pins are strings, a name with a quote in it, and a net of one pin.
const char KICAD[] = R"NET((export (version "E")
  (design (source "board.kicad_sch") (tool "Eeschema 7.0.10"))
  (components
    (comp (ref "U3") (value "chipA") (footprint "Package_QFP:LQFP-48"))
    (comp (ref "U7") (value "chipB")))
  (nets
    (net (code "1") (name "/SDA")
      (node (ref "U3") (pin "12") (pinfunction "PA12") (pintype "bidirectional"))
      (node (ref "U7") (pin "5") (pintype "input")))
    (net (code "2") (name "GND")
      (node (ref "U3") (pin "24"))
      (node (ref "U7") (pin "8")))
    (net (code "3") (name "Net-(U3-\"X\")")
      (node (ref "U3") (pin "A7")))))
)NET";

} // namespace

TEST(NetlistTest, KicadsNetsAreReadWithTheirPinsAndCsvGivesTheSame)
{
    Netlist netlist;
    std::string strError;
    ASSERT_TRUE(ParseNetlist(KICAD, netlist, strError)) << strError;
    const std::vector<std::string> expected = {"/SDA: U3.12 U7.5", "GND: U3.24 U7.8", "Net-(U3-\"X\"): U3.A7"};
    EXPECT_EQ(expected, Lines(netlist));
    ASSERT_NE(nullptr, netlist.Find("GND"));
    EXPECT_EQ(nullptr, netlist.Find("VCC"));

    // The same board as CSV: a header, a comment, quoted fields, spaces and Windows line ends.
    const char csv[] = "net,ref,pin\r\n# from another tool\r\n/SDA, U3, 12\r\n\"GND\",U3,24\r\n/SDA,U7,5\r\n"
                       "GND,U7,8\r\n\"Net-(U3-\"\"X\"\")\",U3,A7\r\n";
    Netlist fromCsv;
    ASSERT_TRUE(ParseNetlist(csv, fromCsv, strError)) << strError;
    EXPECT_EQ(expected, Lines(fromCsv));
}

TEST(NetlistTest, WhatIsNoNetlistIsRefusedWithItsLine)
{
    const std::pair<std::string, std::string> refused[] = {
        {"(export (nets\n  (net (name \"A\") (node (ref \"U1\") (pin \"1\")))\n", "line 1: a list opened here is never closed"},
        {"(export (nets))\n)", "line 2: a \")\" closes no list"},
        {"(export (nets\n (net (name \"A\") (node (ref \"U1\")))))", "line 2: a node without its ref or its pin"},
        {"(export (nets\n (net (code 1) (node (ref U1) (pin 1)))))", "line 2: a net without its name"},
        {"(export (nets (net (name A) (node (ref U1) (pin 1)))\n (net (name A) (node (ref U2) (pin 1)))))",
         "line 2: the net A is given twice"},
        {"(export (nets (net (name A) (node (ref U1) (pin 1)))\n (net (name B) (node (ref U1) (pin 1)))))",
         "line 2: U1.1 stands on the nets A and B"},
        {"(export (name \"A\nB))", "line 1: a string is never closed"},
        {"(export (components))", "line 1: no (nets ...) list: this is no KiCad netlist (export it with File, Export, Netlist)"},
        {"(" + std::string(100, '('), "line 1: lists nest deeper than 64: this is no KiCad netlist"},
        {"SDA,U3,12\nSCL,U3\n", "line 2: a line is net,ref,pin (SDA,U3,12): \"SCL,U3\""},
        {"SDA,U3,12\nSDA,U3,12\n", "line 2: U3.12 stands on the net SDA twice"},
        {"# nothing\n\n", "line 1: no net,ref,pin line: the netlist is empty"},
    };
    // What each file is refused with; a file taken, or one refused with nets left, says so.
    std::vector<std::string> expected, said;
    for (const auto& file : refused)
    {
        Netlist netlist;
        std::string strError;
        const bool bTaken = ParseNetlist(file.first, netlist, strError);
        said.push_back(bTaken ? "taken: " + file.first : !netlist.nets.empty() ? "nets left: " + strError : strError);
        expected.push_back(file.second);
    }
    EXPECT_EQ(expected, said);
}
