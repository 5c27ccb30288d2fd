// Text functions of the caption label's widget set, on 8-bit texts. As the
// zero-terminated strings they were made for, a text ends at its first NUL: the
// functions neither look at nor move what follows one. Positions count from 0.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Deletes the character at Pos; a position at or beyond the end changes nothing.
void CapDeleteChar(std::string& text, size_t pos);
// Inserts C before the character at Pos; a position beyond the end appends.
void CapInsertChar(std::string& text, char c, size_t pos);
// Whether C occurs in the text, and where first.
bool CapFindChar(std::string_view text, char c, size_t& pos);
// Whether Sub occurs in the text, and where first; the empty Sub is found at 0.
bool CapFindSubstring(std::string_view text, std::string_view sub, size_t& pos);
