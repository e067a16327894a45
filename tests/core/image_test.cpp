#include "core/image.hpp"

#include <gtest/gtest.h>

#include <initializer_list>

namespace quorvel {
namespace {

Image make_image(int w, int h, std::initializer_list<unsigned char> rgba) {
    Image img;
    img.width = w;
    img.height = h;
    img.rgba.assign(rgba);
    return img;
}

Image solid(int w, int h, unsigned char grey) {
    Image img;
    img.width = w;
    img.height = h;
    img.rgba.resize(static_cast<size_t>(w) * h * 4, grey);
    for (size_t i = 3; i < img.rgba.size(); i += 4)
        img.rgba[i] = 255;
    return img;
}

const unsigned char* pixel(const Image& img, int x, int y) {
    return &img.rgba[(static_cast<size_t>(y) * img.width + x) * 4];
}

TEST(BlendToBgra, BlendsEachPixelOverTheColourInDibOrder) {
    // Row 0: transparent, opaque white; row 1: half-transparent white and coloured pixels.
    const Image img = make_image(2, 2,
                                 {10, 20, 30, 0,      //
                                  255, 255, 255, 255, //
                                  255, 255, 255, 128, //
                                  200, 0, 100, 128});
    const auto out = blend_to_bgra(img, 8, 186, 232);
    ASSERT_EQ(out.size(), 16u);
    struct Case {
        const char* what;
        double b, g, r;
    };
    // Alpha 128 is a hair over half: the midpoints below hold within one step.
    const Case expected[] = {
        {"transparent gives the background exactly", 232, 186, 8},
        {"opaque white stays white", 255, 255, 255},
        {"half white over the banner", (255 + 232) / 2.0, (255 + 186) / 2.0, (255 + 8) / 2.0},
        {"half colour over the banner", (100 + 232) / 2.0, (0 + 186) / 2.0, (200 + 8) / 2.0},
    };
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(expected[i].what);
        const unsigned char* d = &out[i * 4];
        const double tolerance = i < 2 ? 0 : 1;
        EXPECT_NEAR(d[0], expected[i].b, tolerance);
        EXPECT_NEAR(d[1], expected[i].g, tolerance);
        EXPECT_NEAR(d[2], expected[i].r, tolerance);
        EXPECT_EQ(d[3], 255);
    }
}

TEST(BlendToBgra, HalfWhiteOverBlackIsTheMidpoint) {
    const auto out = blend_to_bgra(make_image(1, 1, {255, 255, 255, 128}), 0, 0, 0);
    ASSERT_EQ(out.size(), 4u);
    for (int c = 0; c < 3; ++c)
        EXPECT_NEAR(out[c], 127.5, 1.0);
}

TEST(BlendToBgra, MalformedImageGivesNothing) {
    EXPECT_TRUE(blend_to_bgra(Image{}, 1, 2, 3).empty());
    EXPECT_TRUE(blend_to_bgra(make_image(2, 2, {1, 2, 3, 4}), 1, 2, 3).empty());
}

TEST(ScaleToFit, SizeKeepsAspectAndOnlyShrinks) {
    struct Case {
        int w, h, box_w, box_h, want_w, want_h;
    };
    const Case cases[] = {
        {32, 32, 24, 24, 24, 24},     // the busy animation in its picture box
        {24, 24, 24, 24, 24, 24},     // fits exactly
        {20, 10, 24, 24, 20, 10},     // small already: never enlarged
        {100, 50, 24, 24, 24, 12},    // wide
        {50, 100, 24, 24, 12, 24},    // tall
        {227, 57, 100, 100, 100, 25}, // 57 * 100 / 227 = 25.1
        {30, 10, 24, 4, 12, 4},       // the height limits
        {1000, 1, 10, 10, 10, 1},     // never below one pixel
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.w << "x" << c.h << " into " << c.box_w << "x" << c.box_h);
        Image src = solid(c.w, c.h, 90);
        src.rgba[0] = 7; // marks the data, to see an image that fits come back untouched
        const Image out = scale_to_fit(src, c.box_w, c.box_h);
        EXPECT_EQ(out.width, c.want_w);
        EXPECT_EQ(out.height, c.want_h);
        ASSERT_EQ(out.rgba.size(), static_cast<size_t>(c.want_w) * c.want_h * 4);
        if (c.want_w == c.w && c.want_h == c.h) {
            EXPECT_EQ(out.rgba, src.rgba);
        }
    }
}

TEST(ScaleToFit, AveragesAreasWithFractionalOverlap) {
    // Four columns into three: each new column covers 4/3 of the old ones.
    const Image src = make_image(4, 1,
                                 {0, 0, 0, 255,       //
                                  60, 60, 60, 255,    //
                                  120, 120, 120, 255, //
                                  240, 240, 240, 255});
    const Image out = scale_to_fit(src, 3, 3);
    ASSERT_EQ(out.width, 3);
    ASSERT_EQ(out.height, 1);
    const int want[3] = {15, 90, 210}; // (0 + 60/3) * 3/4, (60 + 120) * 2/3 * 3/4, ...
    for (int x = 0; x < 3; ++x) {
        EXPECT_EQ(pixel(out, x, 0)[0], want[x]) << "column " << x;
        EXPECT_EQ(pixel(out, x, 0)[3], 255);
    }
}

TEST(ScaleToFit, CheckerboardHalvedIsEvenGrey) {
    // Any pixel-picking shrink gives black or white here; averaging gives grey everywhere.
    Image src = solid(32, 32, 0);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            if ((x + y) % 2) {
                unsigned char* p = &src.rgba[(static_cast<size_t>(y) * 32 + x) * 4];
                p[0] = p[1] = p[2] = 255;
            }
    const Image out = scale_to_fit(src, 16, 16);
    ASSERT_EQ(out.width, 16);
    ASSERT_EQ(out.height, 16);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            EXPECT_NEAR(pixel(out, x, y)[0], 127.5, 1.0) << x << "," << y;
            EXPECT_EQ(pixel(out, x, y)[3], 255);
        }
}

TEST(ScaleToFit, TransparentColourDoesNotBleed) {
    // Opaque red beside transparent green: the result is half-covered red, not a red-green mix.
    const Image src = make_image(2, 1, {255, 0, 0, 255, 0, 255, 0, 0});
    const Image out = scale_to_fit(src, 1, 1);
    ASSERT_EQ(out.width, 1);
    ASSERT_EQ(out.height, 1);
    EXPECT_EQ(out.rgba[0], 255);
    EXPECT_EQ(out.rgba[1], 0);
    EXPECT_EQ(out.rgba[2], 0);
    EXPECT_NEAR(out.rgba[3], 127.5, 1.0);
}

TEST(CentreInBox, Positions) {
    struct Case {
        int w, h, box_w, box_h, x, y;
    };
    const Case cases[] = {
        {24, 24, 24, 24, 0, 0},
        {21, 21, 24, 24, 1, 1}, // the odd pixel goes right and down
        {10, 20, 24, 24, 7, 2},
        {30, 28, 24, 24, -3, -2},
    };
    for (const Case& c : cases) {
        int x = 99, y = 99;
        centre_in_box(c.w, c.h, c.box_w, c.box_h, x, y);
        EXPECT_EQ(x, c.x) << c.w << "x" << c.h << " in " << c.box_w << "x" << c.box_h;
        EXPECT_EQ(y, c.y) << c.w << "x" << c.h << " in " << c.box_w << "x" << c.box_h;
    }
}

} // namespace
} // namespace quorvel
