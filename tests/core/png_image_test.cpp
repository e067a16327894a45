#include "core/png_image.hpp"

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "resource_file.hpp"

namespace quorvel {
namespace {

const unsigned char* pixel(const Image& img, int x, int y) {
    return &img.rgba[(static_cast<size_t>(y) * img.width + x) * 4];
}

void put_chunk(std::vector<unsigned char>& png, const char* type,
               const std::vector<unsigned char>& body) {
    const unsigned len = static_cast<unsigned>(body.size());
    const unsigned char head[8] = {
        static_cast<unsigned char>(len >> 24), static_cast<unsigned char>(len >> 16),
        static_cast<unsigned char>(len >> 8),  static_cast<unsigned char>(len),
        static_cast<unsigned char>(type[0]),   static_cast<unsigned char>(type[1]),
        static_cast<unsigned char>(type[2]),   static_cast<unsigned char>(type[3])};
    png.insert(png.end(), head, head + 8);
    png.insert(png.end(), body.begin(), body.end());
    uLong crc = crc32(0L, head + 4, 4);
    crc = crc32(crc, body.data(), static_cast<uInt>(body.size()));
    for (int shift = 24; shift >= 0; shift -= 8)
        png.push_back(static_cast<unsigned char>(crc >> shift));
}

// A 2 x 2 palette PNG, 2 bits per pixel, with a tRNS chunk making entry 1 half and entry 2
// fully transparent.
std::vector<unsigned char> palette_png() {
    std::vector<unsigned char> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    put_chunk(png, "IHDR", {0, 0, 0, 2, 0, 0, 0, 2, 2, 3, 0, 0, 0});
    put_chunk(png, "PLTE", {255, 0, 0, 0, 0, 255, 0, 255, 0, 10, 20, 30});
    put_chunk(png, "tRNS", {255, 128, 0});
    // Rows with filter 0: indices 0 1 and 2 3, packed from the high bits.
    const unsigned char raw[] = {0, 0x10, 0, 0xB0};
    std::vector<unsigned char> packed(compressBound(sizeof raw));
    uLongf packed_len = static_cast<uLongf>(packed.size());
    compress(packed.data(), &packed_len, raw, sizeof raw);
    packed.resize(packed_len);
    put_chunk(png, "IDAT", packed);
    put_chunk(png, "IEND", {});
    return png;
}

TEST(DecodePng, Logo) {
    const auto data = read_resource("logo.png");
    ASSERT_FALSE(data.empty()) << "resources/logo.png missing";
    Image img;
    ASSERT_TRUE(decode_png(data.data(), data.size(), img));
    ASSERT_EQ(img.width, 227);
    ASSERT_EQ(img.height, 57);
    ASSERT_EQ(img.rgba.size(), 227u * 57u * 4u);

    for (auto [x, y] : {std::pair{0, 0}, {226, 0}, {0, 56}, {226, 56}})
        EXPECT_EQ(pixel(img, x, y)[3], 0) << "corner " << x << "," << y;

    // White on transparent with soft edges, drawn both in the emblem (left) and the name (right).
    int opaque_left = 0, opaque_right = 0, soft = 0, coloured = 0;
    for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x) {
            const unsigned char* p = pixel(img, x, y);
            if (p[3] == 255) (x < 45 ? opaque_left : opaque_right)++;
            if (p[3] > 0 && p[3] < 255) ++soft;
            if (p[3] > 0 && (p[0] != 255 || p[1] != 255 || p[2] != 255)) ++coloured;
        }
    EXPECT_GT(opaque_left, 500);
    EXPECT_GT(opaque_right, 200);
    EXPECT_GT(soft, 300);
    EXPECT_EQ(coloured, 0);
}

TEST(DecodePng, LogoIsCleanForLibpng) {
    const auto data = read_resource("logo.png");
    ASSERT_GT(data.size(), 8u);
    // The chunks, in order.
    std::vector<std::string> chunks;
    for (size_t at = 8; at + 8 <= data.size();) {
        const size_t len =
            (size_t{data[at]} << 24) | (data[at + 1] << 16) | (data[at + 2] << 8) | data[at + 3];
        chunks.emplace_back(reinterpret_cast<const char*>(&data[at + 4]), 4);
        at += len + 12;
    }
    const std::vector<std::string> want = {"IHDR", "pHYs", "iCCP", "cHRM", "IDAT", "IEND"};
    EXPECT_EQ(chunks, want);

    // libpng reads every chunk, the colour profile included, without a warning.
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_memory(&image, data.data(), data.size()));
    EXPECT_EQ(image.warning_or_error, 0u) << image.message;
    image.format = PNG_FORMAT_RGBA;
    std::vector<unsigned char> buffer(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, buffer.data(), 0, nullptr));
    EXPECT_EQ(image.warning_or_error, 0u) << image.message;
}

TEST(DecodePng, PaletteWithTransparencyBecomesStraightRgba) {
    const auto png = palette_png();
    Image img;
    ASSERT_TRUE(decode_png(png.data(), png.size(), img));
    ASSERT_EQ(img.width, 2);
    ASSERT_EQ(img.height, 2);
    const std::vector<unsigned char> want = {
        255, 0,   0,   255, // entry 0: opaque red
        0,   0,   255, 128, // entry 1: blue at half alpha, not premultiplied
        0,   255, 0,   0,   // entry 2: transparent (its colour is kept or not; only alpha counts)
        10,  20,  30,  255  // entry 3: beyond tRNS, so opaque
    };
    for (size_t i = 0; i < want.size(); ++i) {
        if (i / 4 == 2 && i % 4 != 3) continue;
        EXPECT_EQ(img.rgba[i], want[i]) << "byte " << i;
    }
}

TEST(DecodePng, BrokenInputFailsAndLeavesTheImage) {
    const auto logo = read_resource("logo.png");
    ASSERT_FALSE(logo.empty());
    const auto gif = read_resource("busy.gif");

    auto bad_crc = palette_png();
    bad_crc[bad_crc.size() - 20] ^= 0x01; // a byte of the IDAT's data
    auto bad_sig = logo;
    bad_sig[1] = 'Q';
    const auto zero_size = [] {
        auto p = palette_png();
        p[16 + 3] = 0; // width 0 (and the CRC is now wrong as well)
        return p;
    }();

    Image sentinel;
    sentinel.width = 3;
    sentinel.height = 1;
    sentinel.rgba.assign(12, 7);
    const struct {
        const char* what;
        const unsigned char* data;
        size_t size;
    } cases[] = {
        {"nothing", nullptr, 0},
        {"zero bytes", logo.data(), 0},
        {"signature only", logo.data(), 8},
        {"a GIF", gif.data(), gif.size()},
        {"damaged signature", bad_sig.data(), bad_sig.size()},
        {"damaged image data", bad_crc.data(), bad_crc.size()},
        {"zero width", zero_size.data(), zero_size.size()},
    };
    for (const auto& c : cases) {
        Image img = sentinel;
        EXPECT_FALSE(decode_png(c.data, c.size, img)) << c.what;
        EXPECT_EQ(img.rgba, sentinel.rgba) << c.what;
        EXPECT_EQ(img.width, 3) << c.what;
    }
}

TEST(DecodePng, EveryCutBeforeTheEndChunkFails) {
    // libpng forgives a missing IEND; a cut anywhere before it loses header or pixels.
    const auto logo = read_resource("logo.png");
    const unsigned char iend[] = {'I', 'E', 'N', 'D'};
    const auto it = std::search(logo.begin(), logo.end(), iend, iend + 4);
    ASSERT_NE(it, logo.end());
    const size_t end_chunk = static_cast<size_t>(it - logo.begin()) - 4;
    for (size_t n = 0; n < end_chunk; ++n) {
        Image img;
        EXPECT_FALSE(decode_png(logo.data(), n, img)) << "cut at " << n;
    }
}

} // namespace
} // namespace quorvel
