// A value to shift into a register: its bits, bit 0 first, as a person writes them.
#pragma once

#include <cstddef>
#include <string>

#include "Bits.h"

const size_t MAX_SCAN_BITS = 4096;

// The forms a value may be written in, one a line, for messages.
extern const char SCAN_VALUE_FORMS[];

// Binary digits ("0010", the last digit bit 0), 0x hex ("0x09", four bits a digit) or a sized
// literal in Verilog's form ("4'b0010", "6'h09", "32'h0", "8'd255", also 'o'); '_' may separate
// digits; 1 to MAX_SCAN_BITS bits. False, with what was wrong, for anything else and for a
// literal whose value does not fit its size.
bool ParseScanValue(const std::string& strText, CBits& bits, std::string& strError);

// The text without the white space around it, as values are read and kept.
std::string TrimValue(const std::string& strText);

// The bits as a sized hex literal of the same length: "32'h14D5654B", "4'h1".
std::string FormatSizedHex(const CBits& bits);
