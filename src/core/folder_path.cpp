#include "core/folder_path.hpp"

namespace quorvel {

namespace {

bool is_ascii_letter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool is_separator(char c) {
    return c == '\\' || c == '/';
}

} // namespace

bool is_deletable_folder_path(const Text& path) {
    const size_t start = path.find_first_not_of(' ');
    if (start == Text::npos) return false;
    const Text p = path.substr(start);
    if (p.size() == 1 && is_separator(p[0])) return false;
    const bool drive = p.size() >= 2 && is_ascii_letter(p[0]) && p[1] == ':';
    if (drive && (p.size() == 2 || (p.size() == 3 && is_separator(p[2])))) return false;
    return true;
}

} // namespace quorvel
