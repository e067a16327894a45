#include "core/verdict.hpp"

#include <cstdio>

namespace quorvel {

int count_occurrences(const Text& text, const Text& needle, bool case_sensitive) {
    if (needle.empty()) return 0;
    int count = 0;
    for (int p = find_text(text, needle, 1, !case_sensitive); p != -1;
         p = find_text(text, needle, p + static_cast<int>(needle.size()), !case_sensitive))
        ++count;
    return count;
}

Verdict judge_output(const Text& box, const Text& success_marker) {
    if (count_occurrences(box, ">", false) < 2) return Verdict::pending;
    int first_prompt_end = find_text(box, ">");
    return find_text(box, success_marker, first_prompt_end + 1) != -1 ? Verdict::success
                                                                      : Verdict::failure;
}

Text free_log_name(const Text& dir, std::uint32_t start,
                   const std::function<bool(const Text&)>& taken) {
    for (std::uint32_t n = start;; ++n) {
        char hex[16];
        std::snprintf(hex, sizeof hex, "%x", static_cast<unsigned>(n));
        Text name = dir + hex + ".tmp";
        if (!taken(name)) return name;
    }
}

} // namespace quorvel
