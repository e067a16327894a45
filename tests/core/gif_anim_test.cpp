#include "core/gif_anim.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <utility>

#include "resource_file.hpp"

namespace quorvel {
namespace {

struct Rgb {
    unsigned char r, g, b;
};

const Rgb red{255, 0, 0}, green{0, 255, 0}, blue{0, 0, 255}, black{0, 0, 0}, white{255, 255, 255};

using Codes = std::vector<std::pair<unsigned, unsigned>>; // code, width in bits

// Packs LZW codes least significant bit first, as GIF stores them.
std::vector<unsigned char> pack_codes(const Codes& codes) {
    std::vector<unsigned char> out;
    unsigned long acc = 0;
    unsigned bits = 0;
    for (auto [code, width] : codes) {
        acc |= static_cast<unsigned long>(code) << bits;
        bits += width;
        for (; bits >= 8; bits -= 8, acc >>= 8)
            out.push_back(static_cast<unsigned char>(acc));
    }
    if (bits > 0) out.push_back(static_cast<unsigned char>(acc));
    return out;
}

// Each index as a literal code, minimum code size 8: nine-bit codes throughout, because a clear
// code comes before the table grows to 512 entries (after 254 literals).
std::vector<unsigned char> literal_codes(const std::vector<unsigned char>& indices) {
    Codes codes;
    for (size_t i = 0; i < indices.size(); ++i) {
        if (i % 254 == 0) codes.push_back({256, 9});
        codes.push_back({indices[i], 9});
    }
    codes.push_back({257, 9});
    return pack_codes(codes);
}

class GifWriter {
public:
    GifWriter(int w, int h, const std::vector<Rgb>& global, const char* version = "GIF89a") {
        bytes_.assign(version, version + 6);
        put16(w);
        put16(h);
        bytes_.push_back(global.empty() ? 0
                                        : static_cast<unsigned char>(0x80 | size_field(global)));
        bytes_.push_back(0);
        bytes_.push_back(0);
        put_table(global);
    }
    GifWriter& loop(int count) {
        const unsigned char app[] = {0x21, 0xFF, 11,  'N', 'E', 'T', 'S', 'C',
                                     'A',  'P',  'E', '2', '.', '0', 3,   1};
        bytes_.insert(bytes_.end(), app, app + sizeof app);
        put16(count);
        bytes_.push_back(0);
        return *this;
    }
    GifWriter& raw(const std::vector<unsigned char>& block) {
        bytes_.insert(bytes_.end(), block.begin(), block.end());
        return *this;
    }
    GifWriter& control(int disposal, int delay_cs, int transparent = -1) {
        bytes_.insert(bytes_.end(), {0x21, 0xF9, 4});
        bytes_.push_back(static_cast<unsigned char>((disposal << 2) | (transparent >= 0 ? 1 : 0)));
        put16(delay_cs);
        bytes_.push_back(static_cast<unsigned char>(transparent >= 0 ? transparent : 0));
        bytes_.push_back(0);
        return *this;
    }
    GifWriter& image(int x, int y, int w, int h, const std::vector<unsigned char>& lzw,
                     int min_code_size = 8, const std::vector<Rgb>& local = {},
                     bool interlaced = false) {
        bytes_.push_back(0x2C);
        put16(x);
        put16(y);
        put16(w);
        put16(h);
        unsigned char flags = interlaced ? 0x40 : 0;
        if (!local.empty()) flags |= static_cast<unsigned char>(0x80 | size_field(local));
        bytes_.push_back(flags);
        put_table(local);
        bytes_.push_back(static_cast<unsigned char>(min_code_size));
        for (size_t at = 0; at < lzw.size(); at += 255) {
            const size_t n = std::min<size_t>(255, lzw.size() - at);
            bytes_.push_back(static_cast<unsigned char>(n));
            bytes_.insert(bytes_.end(), lzw.begin() + at, lzw.begin() + at + n);
        }
        bytes_.push_back(0);
        return *this;
    }
    std::vector<unsigned char> finish() {
        bytes_.push_back(0x3B);
        return bytes_;
    }

private:
    static int size_field(const std::vector<Rgb>& table) {
        int n = 0;
        while ((2u << n) < table.size())
            ++n;
        return n;
    }
    void put16(int v) {
        bytes_.push_back(static_cast<unsigned char>(v & 0xFF));
        bytes_.push_back(static_cast<unsigned char>(v >> 8));
    }
    void put_table(const std::vector<Rgb>& table) {
        if (table.empty()) return;
        const size_t entries = 2u << size_field(table);
        for (size_t i = 0; i < entries; ++i) {
            const Rgb c = i < table.size() ? table[i] : Rgb{0, 0, 0};
            bytes_.insert(bytes_.end(), {c.r, c.g, c.b});
        }
    }
    std::vector<unsigned char> bytes_;
};

// The frame as letters, rows separated by '/': R G B K W for the colours above, '.' for a
// transparent pixel, '?' for anything else.
std::string picture(const Image& img) {
    std::string s;
    for (int y = 0; y < img.height; ++y) {
        if (y > 0) s += '/';
        for (int x = 0; x < img.width; ++x) {
            const unsigned char* p = &img.rgba[(static_cast<size_t>(y) * img.width + x) * 4];
            const struct {
                Rgb c;
                char letter;
            } names[] = {{red, 'R'}, {green, 'G'}, {blue, 'B'}, {black, 'K'}, {white, 'W'}};
            char letter = '?';
            if (p[3] == 0) letter = '.';
            for (const auto& n : names)
                if (p[3] == 255 && p[0] == n.c.r && p[1] == n.c.g && p[2] == n.c.b)
                    letter = n.letter;
            s += letter;
        }
    }
    return s;
}

// Darkness (255 - red) of a frame at a point, sampled bilinearly between pixel centres; white
// outside the frame.
double darkness_at(const Image& img, double sx, double sy) {
    const auto dark = [&](int x, int y) -> double {
        if (x < 0 || y < 0 || x >= img.width || y >= img.height) return 0;
        return 255 - img.rgba[(static_cast<size_t>(y) * img.width + x) * 4];
    };
    const double fx = sx - 0.5, fy = sy - 0.5;
    const int x0 = static_cast<int>(std::floor(fx)), y0 = static_cast<int>(std::floor(fy));
    const double ax = fx - x0, ay = fy - y0;
    return dark(x0, y0) * (1 - ax) * (1 - ay) + dark(x0 + 1, y0) * ax * (1 - ay) +
           dark(x0, y0 + 1) * (1 - ax) * ay + dark(x0 + 1, y0 + 1) * ax * ay;
}

// Mean difference in darkness between `b` and `a` turned clockwise on screen by `degrees`
// about the centre.
double turned_difference(const Image& a, const Image& b, double degrees) {
    const double t = degrees * std::acos(-1.0) / 180, c = std::cos(t), s = std::sin(t);
    const double cx = a.width / 2.0, cy = a.height / 2.0;
    double sum = 0;
    for (int y = 0; y < b.height; ++y)
        for (int x = 0; x < b.width; ++x) {
            const double px = x + 0.5 - cx, py = y + 0.5 - cy;
            const double from = darkness_at(a, c * px + s * py + cx, -s * px + c * py + cy);
            sum += std::abs(from - darkness_at(b, x + 0.5, y + 0.5));
        }
    return sum / (b.width * b.height);
}

GifAnimation decode_ok(const std::vector<unsigned char>& gif) {
    GifAnimation anim;
    EXPECT_TRUE(decode_gif(gif.data(), gif.size(), anim));
    return anim;
}

TEST(DecodeGif, BusyAnimation) {
    const auto data = read_resource("busy.gif");
    ASSERT_FALSE(data.empty()) << "resources/busy.gif missing";
    GifAnimation anim;
    ASSERT_TRUE(decode_gif(data.data(), data.size(), anim));
    EXPECT_EQ(anim.width, 32);
    EXPECT_EQ(anim.height, 32);
    EXPECT_EQ(anim.loop_count, 0);
    ASSERT_EQ(anim.frames.size(), 8u);
    EXPECT_EQ(anim.delays_ms, std::vector<int>(8, 80));

    for (size_t k = 0; k < 8; ++k) {
        SCOPED_TRACE(testing::Message() << "frame " << k);
        const Image& f = anim.frames[k];
        ASSERT_EQ(f.rgba.size(), 32u * 32u * 4u);
        int dark = 0;
        for (size_t i = 0; i < f.rgba.size(); i += 4) {
            ASSERT_EQ(f.rgba[i + 3], 255) << "opaque on white";
            ASSERT_TRUE(f.rgba[i] == f.rgba[i + 1] && f.rgba[i] == f.rgba[i + 2]) << "grey";
            if (f.rgba[i] < 128) ++dark;
        }
        EXPECT_GT(dark, 60) << "dots are drawn";

        // The ring turns by one of its eight places per frame, clockwise: the next frame is this
        // one turned by 45 degrees, much more than it is this one unturned or turned the other
        // way. A quarter turn maps pixels onto pixels, so two frames on it is nearly exact.
        const Image& next = anim.frames[(k + 1) % 8];
        EXPECT_NE(f.rgba, next.rgba);
        const double still = turned_difference(f, next, 0);
        const double forward = turned_difference(f, next, 45);
        const double backward = turned_difference(f, next, -45);
        EXPECT_LT(forward, still / 2);
        EXPECT_LT(forward, backward / 2);
        EXPECT_LT(turned_difference(f, anim.frames[(k + 2) % 8], 90), 0.5);
    }
}

TEST(DecodeGif, LzwCodeStreams) {
    // Minimum code size 2: clear 4, end 5, first free code 6, three-bit codes growing to four
    // once code 7 has been defined. Expected pictures worked out by hand.
    const struct {
        const char* what;
        Codes codes;
        const char* want;
    } cases[] = {
        {"a run: codes used in the step that defines them, then four-bit codes",
         {{4, 3}, {0, 3}, {6, 3}, {7, 3}, {8, 4}, {5, 4}},
         "RRRRRRRRRR"},
        {"a repeated pair", {{4, 3}, {1, 3}, {2, 3}, {6, 3}, {5, 4}}, "GBGB"},
        {"a clear code empties the table", {{4, 3}, {3, 3}, {3, 3}, {4, 3}, {2, 3}, {5, 3}}, "KKB"},
        {"a clear code narrows the codes again",
         {{4, 3}, {0, 3}, {1, 3}, {2, 3}, {4, 4}, {3, 3}, {5, 3}},
         "RGBK"},
        {"no end code once every pixel is there", {{4, 3}, {0, 3}, {1, 3}}, "RG"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const int n = static_cast<int>(std::strlen(c.want));
        const auto gif = GifWriter(n, 1, {red, green, blue, black})
                             .image(0, 0, n, 1, pack_codes(c.codes), 2)
                             .finish();
        const GifAnimation anim = decode_ok(gif);
        ASSERT_EQ(anim.frames.size(), 1u);
        EXPECT_EQ(picture(anim.frames[0]), c.want);
    }
}

TEST(DecodeGif, FullCodeTableKeepsTwelveBitCodes) {
    // 5000 literals without a clear code: the table fills at 4096 entries and later codes stay
    // twelve bits wide and add nothing.
    const int w = 100, h = 50;
    Codes codes = {{4, 3}};
    unsigned width = 3, next = 6;
    for (int i = 0; i < w * h; ++i) {
        codes.push_back({static_cast<unsigned>(i % 4), width});
        if (i > 0 && next < 4096 && ++next == (1u << width) && width < 12) ++width;
    }
    ASSERT_EQ(next, 4096u);
    codes.push_back({5, width});
    const auto gif =
        GifWriter(w, h, {red, green, blue, black}).image(0, 0, w, h, pack_codes(codes), 2).finish();
    const GifAnimation anim = decode_ok(gif);
    ASSERT_EQ(anim.frames.size(), 1u);
    const std::string pic = picture(anim.frames[0]);
    std::string want;
    for (int i = 0; i < w * h; ++i) {
        if (i > 0 && i % w == 0) want += '/';
        want += "RGBK"[i % 4];
    }
    EXPECT_EQ(pic, want);
}

TEST(DecodeGif, DisposalTransparencyAndLocalPalette) {
    const std::vector<Rgb> global = {red, green, blue, black};
    const auto gif =
        GifWriter(3, 3, global)
            // 1: fill with red, leave in place
            .control(1, 10)
            .image(0, 0, 3, 3, literal_codes(std::vector<unsigned char>(9, 0)))
            // 2: green centre, cleared to transparent afterwards
            .control(2, 20)
            .image(1, 1, 1, 1, literal_codes({1}))
            // 3: blue corner, undone afterwards
            .control(3, 30)
            .image(0, 0, 1, 1, literal_codes({2}))
            // 4: bottom row through its own palette, index 3 transparent
            .control(0, 40, 3)
            .image(0, 2, 3, 1, literal_codes({3, 2, 3}), 8, {black, black, white, green})
            // 5: the global palette again
            .image(2, 0, 1, 1, literal_codes({1}))
            .finish();
    const GifAnimation anim = decode_ok(gif);
    ASSERT_EQ(anim.frames.size(), 5u);
    const char* want[] = {
        "RRR/RRR/RRR", //
        "RRR/RGR/RRR", //
        "BRR/R.R/RRR", // frame 2's area is transparent again
        "RRR/R.R/RWR", // frame 3 undone; transparent pixels leave what is below
        "RRG/R.R/RWR", //
    };
    for (size_t k = 0; k < 5; ++k)
        EXPECT_EQ(picture(anim.frames[k]), want[k]) << "frame " << k;
    EXPECT_EQ(anim.delays_ms, (std::vector<int>{100, 200, 300, 400, 0}));
    EXPECT_EQ(anim.loop_count, -1);
}

TEST(DecodeGif, InterlacedRows) {
    // Rows are stored in four passes: every 8th from 0, every 8th from 4, every 4th from 2,
    // every 2nd from 1. Row r is painted with palette entry r.
    const int stored[] = {0, 8, 4, 2, 6, 1, 3, 5, 7};
    std::vector<unsigned char> indices;
    for (int r : stored)
        indices.insert(indices.end(),
                       {static_cast<unsigned char>(r), static_cast<unsigned char>(r)});
    std::vector<Rgb> palette;
    for (int i = 0; i < 16; ++i)
        palette.push_back({static_cast<unsigned char>(i * 16), 0, 0});
    const auto gif = GifWriter(2, 9, palette, "GIF87a")
                         .image(0, 0, 2, 9, literal_codes(indices), 8, {}, true)
                         .finish();
    const GifAnimation anim = decode_ok(gif);
    ASSERT_EQ(anim.frames.size(), 1u);
    const Image& f = anim.frames[0];
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 2; ++x)
            EXPECT_EQ(f.rgba[(static_cast<size_t>(y) * 2 + x) * 4], y * 16) << x << "," << y;
}

TEST(DecodeGif, FramesPastTheScreenAreClipped) {
    const auto gif = GifWriter(3, 3, {red, green})
                         .image(2, 2, 3, 3, literal_codes(std::vector<unsigned char>(9, 1)))
                         .image(7, 0, 2, 2, literal_codes({0, 0, 0, 0}))
                         .finish();
    const GifAnimation anim = decode_ok(gif);
    ASSERT_EQ(anim.frames.size(), 2u);
    EXPECT_EQ(picture(anim.frames[0]), ".../.../..G");
    EXPECT_EQ(picture(anim.frames[1]), ".../.../..G");
}

TEST(DecodeGif, LoopCountAndUnknownExtensions) {
    const std::vector<unsigned char> comment = {0x21, 0xFE, 3, 'h', 'i', '!', 0};
    const std::vector<unsigned char> other_app = {0x21, 0xFF, 11,  'X', 'M', 'P', 'D', 'a', 't',
                                                  'a',  'X',  'M', 'P', 2,   1,   2,   0};
    const auto gif = GifWriter(1, 1, {red, green})
                         .raw(comment)
                         .raw(other_app)
                         .loop(3)
                         .image(0, 0, 1, 1, literal_codes({1}))
                         .finish();
    const GifAnimation anim = decode_ok(gif);
    EXPECT_EQ(anim.loop_count, 3);
    ASSERT_EQ(anim.frames.size(), 1u);
    EXPECT_EQ(picture(anim.frames[0]), "G");
}

TEST(DecodeGif, BrokenInputFailsAndLeavesTheAnimation) {
    const auto palette = std::vector<Rgb>{red, green, blue, black};
    const auto one_frame = [&](const Codes& codes, int pixels, int min_code_size = 2) {
        return GifWriter(pixels, 1, palette)
            .image(0, 0, pixels, 1, pack_codes(codes), min_code_size)
            .finish();
    };
    auto bad_signature = one_frame({{4, 3}, {0, 3}, {5, 3}}, 1);
    bad_signature[4] = '8';
    auto zero_screen = one_frame({{4, 3}, {0, 3}, {5, 3}}, 1);
    zero_screen[6] = 0;
    auto unknown_block = one_frame({{4, 3}, {0, 3}, {5, 3}}, 1);
    unknown_block.insert(unknown_block.begin() + 13 + 12, 0x99);
    const auto no_palette =
        GifWriter(1, 1, {}).image(0, 0, 1, 1, pack_codes({{4, 3}, {0, 3}, {5, 3}}), 2).finish();
    const auto no_image = GifWriter(1, 1, palette).loop(0).finish();

    const struct {
        const char* what;
        std::vector<unsigned char> gif;
    } cases[] = {
        {"zero bytes", {}},
        {"signature GIF88a", bad_signature},
        {"zero-size screen", zero_screen},
        {"unknown block", unknown_block},
        {"no colour table", no_palette},
        {"no image", no_image},
        {"LZW code beyond the table", one_frame({{4, 3}, {0, 3}, {7, 3}, {5, 3}}, 3)},
        {"LZW string code right after clear", one_frame({{4, 3}, {6, 3}, {5, 3}}, 2)},
        {"LZW end before the last pixel", one_frame({{4, 3}, {0, 3}, {5, 3}}, 2)},
        {"LZW data runs out", one_frame({{4, 3}, {0, 3}}, 2)},
        {"minimum code size 9", one_frame({{512, 10}, {0, 10}, {513, 10}}, 1, 9)},
        {"minimum code size 0", one_frame({{1, 1}, {0, 1}, {2, 2}}, 1, 0)},
    };
    GifAnimation sentinel;
    sentinel.width = 5;
    sentinel.frames.resize(2);
    for (const auto& c : cases) {
        GifAnimation anim = sentinel;
        EXPECT_FALSE(decode_gif(c.gif.data(), c.gif.size(), anim)) << c.what;
        EXPECT_EQ(anim.width, 5) << c.what;
        EXPECT_EQ(anim.frames.size(), 2u) << c.what;
    }
    GifAnimation anim;
    EXPECT_FALSE(decode_gif(nullptr, 0, anim));
}

TEST(DecodeGif, EveryTruncationFails) {
    const auto busy = read_resource("busy.gif");
    ASSERT_FALSE(busy.empty());
    const auto interlaced = GifWriter(2, 3, {red, green})
                                .loop(0)
                                .control(2, 5, 1)
                                .image(0, 0, 2, 3, literal_codes({0, 1, 0, 1, 0, 1}), 8, {}, true)
                                .finish();
    for (const auto* gif : {&busy, &interlaced}) {
        GifAnimation whole;
        ASSERT_TRUE(decode_gif(gif->data(), gif->size(), whole));
        for (size_t n = 0; n < gif->size(); ++n) {
            GifAnimation anim;
            EXPECT_FALSE(decode_gif(gif->data(), n, anim))
                << "cut at " << n << " of " << gif->size();
        }
    }
}

TEST(DecodeGif, DamagedBytesNeverBreakTheDecoder) {
    // Whatever a damaged file decodes to, the result is self-consistent (and under the sanitizer
    // build, no read or write strays).
    const auto busy = read_resource("busy.gif");
    ASSERT_FALSE(busy.empty());
    for (size_t at = 0; at < busy.size(); ++at) {
        for (unsigned char flip : {0x01, 0x80, 0xFF}) {
            auto damaged = busy;
            damaged[at] ^= flip;
            GifAnimation anim;
            if (!decode_gif(damaged.data(), damaged.size(), anim)) continue;
            ASSERT_GT(anim.width, 0);
            ASSERT_GT(anim.height, 0);
            ASSERT_FALSE(anim.frames.empty());
            ASSERT_EQ(anim.frames.size(), anim.delays_ms.size());
            for (const Image& f : anim.frames) {
                ASSERT_EQ(f.width, anim.width);
                ASSERT_EQ(f.height, anim.height);
                ASSERT_EQ(f.rgba.size(), static_cast<size_t>(f.width) * f.height * 4);
            }
        }
    }
}

} // namespace
} // namespace quorvel
