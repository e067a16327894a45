#include "core/version.hpp"

#include <charconv>
#include <cstdio>

namespace quorvel {

Text version_text(int major, int minor) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%d.%02d", major, minor);
    return buf;
}

double version_number(const Text& text) {
    size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    // Only plain decimal digits with an optional fraction count; "inf", "nan" and hexadecimal
    // forms, which a general conversion would accept, are not numbers here.
    const size_t digits = i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9')
        ++i;
    size_t end = i;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9')
            ++i;
        if (i > end + 1 || end > digits) end = i;
    }
    if (end == digits) return 0;
    double value = 0;
    const char* first = text.data() + digits;
    if (std::from_chars(first, text.data() + end, value, std::chars_format::fixed).ec !=
        std::errc())
        return 0;
    return negative ? -value : value;
}

bool version_supported(const Text& text) {
    return version_number(text) - 6 >= -0.0000001;
}

} // namespace quorvel
