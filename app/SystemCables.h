// What choosing a cable says and checks differently on Windows and on Linux: the forms a person
// may write, where the settings file is, and which cables the system can reach. One file a
// system gives these, SystemCables_windows.cpp or SystemCables_linux.cpp, picked by the build.
#pragma once

#include <string>

#include "../ports/cable_name.h"

// The forms accepted, one a line ("FORM\tmeaning"), for messages.
extern const char CABLE_NAME_FORMS[];
// The forms every system accepts alike, after its parallel port's.
#define CABLE_NAME_FORMS_SHARED                                                                                  \
    "ftdi\tthe first FTDI cable found\n"                                                                              \
    "ftdi:SERIAL\tthe FTDI cable with that serial number\n"                                                          \
    "ftdi:SERIAL/B\tchannel B (A to D) of a two- or four-channel FTDI chip\n"                                         \
    "dap\tthe first CMSIS-DAP probe found\n"                                                                         \
    "dap:SERIAL\tthe CMSIS-DAP probe with that serial number\n"                                                     \
    "sim\tthe simulated board\n"                                                                                      \
    "sim:chain\ta simulated chain of three devices\n"                                                                 \
    "sim:bsdl=FILE\ta simulated chip as the BSDL file FILE describes it\n"                                            \
    "sim:board=FILE\ta simulated board of chips and nets as the board file FILE describes it\n"                        \
    "rbb:HOST:PORT\ta remote_bitbang JTAG server (e.g. rbb:localhost:44853)\n"
// Where a cable is chosen, one sentence for messages.
extern const char CABLE_CHOICE_HOW[];

// The settings file, as the program opens it.
std::string SettingsPath();
// A path the program opens, as the person knows it, for messages.
std::string ShownPath(const std::string& strPath);

// False, with what to give, when nobody chose a cable and the system's default is not there.
bool CheckDefaultCable(std::string& strError);

// Says the text on the terminal the program was started from (standard error where bError,
// standard output otherwise) and gives true; false where there is none (Windows, a desktop's
// menu), and a box must say it.
bool SayOnTerminal(const std::string& text, bool bError);

// Says a line on the console the program was started from, if any: on standard output, or on
// standard error where bError. For the command line's own output, not for what a box says.
void SayOnConsole(const std::string& line, bool bError);

// Why no window can be shown (no display to show it on), or empty.
std::string NoDisplayProblem();

// Ctrl-C at the terminal, from now on, is a request to stop that Interrupted() then gives, not
// the program's end.
void CatchInterrupt();
bool Interrupted();
