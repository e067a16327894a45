#include "core/text.hpp"

namespace quorvel {

namespace {

unsigned char fold_ascii(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

// Bytes taken by the character that starts at s[i]; a lead byte at the very end stands alone.
size_t char_size(const Text& s, size_t i) {
    return (is_lead_byte(static_cast<unsigned char>(s[i])) && i + 1 < s.size()) ? 2 : 1;
}

// Whether `needle` occurs at byte index i of `hay`. Trail bytes of double-byte characters fall in
// the ASCII range too, so case folding is applied to single-byte characters only.
bool matches_at(const Text& hay, size_t i, const Text& needle, bool ignore_case) {
    if (needle.size() > hay.size() - i) return false;
    bool trail = false;
    for (size_t j = 0; j < needle.size(); ++j) {
        auto a = static_cast<unsigned char>(hay[i + j]);
        auto b = static_cast<unsigned char>(needle[j]);
        if (ignore_case && !trail) {
            a = fold_ascii(a);
            b = fold_ascii(b);
        }
        if (a != b) return false;
        trail = !trail && is_lead_byte(b);
    }
    return true;
}

} // namespace

int find_text(const Text& hay, const Text& needle, int start, bool ignore_case) {
    if (needle.empty()) return -1;
    const size_t from = start < 1 ? 0 : static_cast<size_t>(start) - 1;
    if (from >= hay.size()) return -1;
    for (size_t i = 0; i < hay.size(); i += char_size(hay, i)) {
        if (i >= from && matches_at(hay, i, needle, ignore_case)) return static_cast<int>(i) + 1;
    }
    return -1;
}

Text replace_text(const Text& s, const Text& from, const Text& to, bool ignore_case) {
    if (from.empty()) return s;
    Text out;
    size_t done = 0; // bytes of s already emitted or replaced
    for (size_t i = 0; i < s.size(); i += char_size(s, i)) {
        if (i < done || !matches_at(s, i, from, ignore_case)) continue;
        out.append(s, done, i - done);
        out += to;
        done = i + from.size();
    }
    out.append(s, done, Text::npos);
    return out;
}

std::vector<Text> split_text(const Text& s, const Text& sep) {
    std::vector<Text> pieces;
    if (s.empty()) return pieces;
    if (sep.empty()) {
        pieces.push_back(s);
        return pieces;
    }
    size_t piece = 0; // start of the piece being collected
    for (size_t i = 0; i < s.size(); i += char_size(s, i)) {
        if (i < piece || !matches_at(s, i, sep, false)) continue;
        pieces.push_back(s.substr(piece, i - piece));
        piece = i + sep.size();
    }
    if (piece < s.size()) pieces.push_back(s.substr(piece));
    return pieces;
}

Text trim_text(const Text& s) {
    size_t begin = Text::npos;
    size_t end = 0;
    for (size_t i = 0; i < s.size();) {
        const size_t n = char_size(s, i);
        const bool space = s[i] == ' ' || (n == 2 && static_cast<unsigned char>(s[i]) == 0xA1 &&
                                           static_cast<unsigned char>(s[i + 1]) == 0xA1);
        if (!space) {
            if (begin == Text::npos) begin = i;
            end = i + n;
        }
        i += n;
    }
    if (begin == Text::npos) return Text();
    return s.substr(begin, end - begin);
}

bool ends_with_separator(const Text& s) {
    size_t last = Text::npos;
    for (size_t i = 0; i < s.size(); i += char_size(s, i))
        last = i;
    return last != Text::npos && last + 1 == s.size() && (s[last] == '\\' || s[last] == '/');
}

} // namespace quorvel
