#pragma once

#include <vector>

namespace quorvel {

// A decoded picture: top-down rows, 4 bytes per pixel in the order R, G, B, A, straight
// (not premultiplied) alpha.
struct Image {
    int width = 0, height = 0;
    std::vector<unsigned char> rgba;
};

// Blends the image over a solid colour and gives top-down B, G, R, A pixels with alpha 255, the
// layout of a 32-bit top-down DIB. A fully transparent pixel gives the colour exactly. An empty
// or malformed image gives an empty vector.
std::vector<unsigned char> blend_to_bgra(const Image& img, unsigned char r, unsigned char g,
                                         unsigned char b);

// Shrinks the image, keeping its aspect ratio, so that it fits a box of box_w x box_h. Each new
// pixel is the area-weighted average of the source pixels it covers, weighted by alpha so that
// the colour of transparent pixels does not bleed into the edges. An image that already fits,
// or a box without area, gives the image unchanged; it is never enlarged.
Image scale_to_fit(const Image& img, int box_w, int box_h);

// Top-left position that centres an image of img_w x img_h in a box of box_w x box_h; an odd
// leftover pixel goes to the right or bottom. The image may be the larger: the result is then 0
// or negative.
void centre_in_box(int img_w, int img_h, int box_w, int box_h, int& x, int& y);

} // namespace quorvel
