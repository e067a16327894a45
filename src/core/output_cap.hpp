// The cap on the output box.
#pragma once
#include <cstddef>

namespace quorvel {

// Whether the box must be emptied before a chunk is appended: the sum of both lengths exceeds
// 30000 bytes (compared on real numbers, so 30001 and more).
inline bool output_needs_emptying(std::size_t box_bytes, std::size_t chunk_bytes) {
    return static_cast<double>(box_bytes) + static_cast<double>(chunk_bytes) - 30000.0 > 0.0000001;
}

} // namespace quorvel
