#pragma once

#include "core/text.hpp"

namespace quorvel {

// The Windows version as the program shows and compares it: major, a point, minor in two digits
// (6.1 gives "6.01").
Text version_text(int major, int minor);

// The decimal number at the start of `text` (leading spaces and a sign allowed); 0 when the text
// does not begin with a number.
double version_number(const Text& text);

// Windows 6.0 and later are supported; a small tolerance absorbs the rounding of the conversion.
bool version_supported(const Text& text);

} // namespace quorvel
