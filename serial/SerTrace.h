// Formatting helpers of the trace and log files (SerUserTrace.cpp).
#pragma once

#include <cstddef>
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
// "Linux <release> <version>".
std::string OperatingSystemText();
// The longest system text the log's header writes.
constexpr size_t kMaxSystemText = 80;
// What the header writes after "Operating System : ": System cut to kMaxSystemText.
std::string HeaderSystemText(const std::string& system);
// The build tool's name (written after "Compiler : ").
std::string CompilerName();
