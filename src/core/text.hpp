#pragma once

#include <string>
#include <vector>

namespace quorvel {

// A byte string in the local ANSI code page (GBK). Lengths and positions are in bytes; positions
// given to and returned by the routines below count from 1.
using Text = std::string;

// True for a byte that opens a double-byte character: that byte and the next form one character.
inline bool is_lead_byte(unsigned char c) {
    return c >= 0x80;
}

// Position of the first occurrence of `needle` at or after `start`, or -1. A match starts only on
// a character boundary, never on the second byte of a double-byte character; a start that falls
// on such a byte moves on to the next character. A start below 1 counts as 1. An empty needle is
// never found. Ignoring case folds ASCII letters only.
int find_text(const Text& hay, const Text& needle, int start = 1, bool ignore_case = false);

// Replaces every non-overlapping occurrence of `from`, left to right. An empty `from` changes
// nothing.
Text replace_text(const Text& s, const Text& from, const Text& to, bool ignore_case = false);

// Splits at every occurrence of `sep`. Empty pieces between two separators are kept; a final
// separator adds no empty piece; an empty text gives no piece. An empty separator gives the
// whole text as one piece.
std::vector<Text> split_text(const Text& s, const Text& sep);

// Removes ASCII spaces and full-width spaces (0xA1 0xA1) at both ends.
Text trim_text(const Text& s);

// Whether the last character is a single-byte '\' or '/'. The trail byte of a double-byte
// character may be 0x5C and is no separator.
bool ends_with_separator(const Text& s);

} // namespace quorvel
