// Judging a flash from the interpreter's output.
#pragma once
#include "core/text.hpp"

#include <cstdint>
#include <functional>

namespace quorvel {

// Non-overlapping occurrences of a non-empty needle, double-byte aware; ignoring case concerns
// ASCII letters only.
int count_occurrences(const Text& text, const Text& needle, bool case_sensitive);

enum class Verdict { pending, success, failure };

// Pending until the box holds two ">" (the prompt before and after the command). Then success
// when the marker follows the first ">": the interpreter's banner before its first prompt
// already holds CR LF CR LF and a drive, so it must not count.
Verdict judge_output(const Text& box, const Text& success_marker);

// "<lowercase hexadecimal>.tmp" in `dir` (which ends with a backslash) for the first number
// from `start` up whose name `taken` does not report.
Text free_log_name(const Text& dir, std::uint32_t start,
                   const std::function<bool(const Text&)>& taken);

} // namespace quorvel
