// Formatting helpers of the trace and log files (SerUserTrace.cpp).
#pragma once

#include <cstdint>
#include <string>

// A byte as the files write it: "[XX]" with all-hex; itself when printable (from a
// blank, or from '!' with hex for non-printables); else "[XX]" with hex for
// non-printables, or "[<decimal>]". As_char writes it as a character whatever it is
// (user log entries in all-hex files).
std::string FormatTraceByte(uint8_t byte, bool in_hex, bool all_hex, bool as_char);
// Milliseconds as seconds with three decimals, at least seven digits: 12345 gives
// "0012.345", 12345678 gives "12345.678".
std::string FormatLogTime(uint32_t ms);
// "Linux <release> <version>" (written after "Operating System : ").
std::string OperatingSystemText();
// The build tool's name (written after "Compiler : ").
std::string CompilerName();
