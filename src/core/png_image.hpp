#pragma once

#include <cstddef>

#include "core/image.hpp"

namespace quorvel {

// Decodes a PNG file held in memory into 8-bit straight-alpha RGBA (any PNG colour type and bit
// depth). Gives false, leaving `out` as it was, for anything libpng cannot read completely.
bool decode_png(const unsigned char* data, size_t size, Image& out);

} // namespace quorvel
