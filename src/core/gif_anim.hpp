#pragma once

#include <cstddef>
#include <vector>

#include "core/image.hpp"

namespace quorvel {

// A decoded GIF: every frame is the whole logical screen as it looks while that frame shows, with
// earlier frames and their disposal already applied. The screen starts transparent, and disposal
// method 2 clears a frame's area back to transparent, as browsers do, rather than painting the
// background colour.
struct GifAnimation {
    int width = 0, height = 0;
    int loop_count = -1; // -1 no loop extension, 0 forever, n: n further repeats
    std::vector<Image> frames;
    std::vector<int> delays_ms; // one per frame, as the file gives it (0 when it gives none)
};

// Decodes a GIF87a or GIF89a file held in memory: global and local colour tables, transparency,
// disposal methods 0-3, interlaced images and the looping extension. Gives false, leaving `out`
// as it was, for a file that is broken, truncated or has no image.
bool decode_gif(const unsigned char* data, size_t size, GifAnimation& out);

} // namespace quorvel
