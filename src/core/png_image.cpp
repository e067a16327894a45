#include "core/png_image.hpp"

#include <png.h>

#include <cstring>
#include <utility>

namespace quorvel {

namespace {

// A broken header can claim any size; refuse the absurd before allocating.
constexpr png_uint_32 max_side = 16384;
constexpr size_t max_pixels = size_t{1} << 24;

} // namespace

bool decode_png(const unsigned char* data, size_t size, Image& out) {
    if (data == nullptr || size == 0) return false;
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    // libpng's simplified API catches its own errors and reports them through the result.
    if (!png_image_begin_read_from_memory(&image, data, size)) return false;
    if (image.width == 0 || image.height == 0 || image.width > max_side ||
        image.height > max_side || static_cast<size_t>(image.width) * image.height > max_pixels) {
        png_image_free(&image);
        return false;
    }
    image.format = PNG_FORMAT_RGBA; // sRGB values, straight alpha
    Image decoded;
    decoded.rgba.resize(PNG_IMAGE_SIZE(image));
    // Whatever the outcome, finish_read releases libpng's state.
    if (!png_image_finish_read(&image, nullptr, decoded.rgba.data(), 0, nullptr)) return false;
    decoded.width = static_cast<int>(image.width);
    decoded.height = static_cast<int>(image.height);
    out = std::move(decoded);
    return true;
}

} // namespace quorvel
