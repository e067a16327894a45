#include "core/image.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace quorvel {

std::vector<unsigned char> blend_to_bgra(const Image& img, unsigned char r, unsigned char g,
                                         unsigned char b) {
    const size_t count = static_cast<size_t>(img.width) * static_cast<size_t>(img.height);
    if (img.width <= 0 || img.height <= 0 || img.rgba.size() < count * 4) return {};
    std::vector<unsigned char> out(count * 4);
    const unsigned bg[3] = {r, g, b};
    for (size_t i = 0; i < count; ++i) {
        const unsigned char* s = &img.rgba[i * 4];
        const unsigned a = s[3];
        unsigned char* d = &out[i * 4];
        // Rounded, so alpha 0 and 255 reproduce the background and the pixel exactly.
        for (int c = 0; c < 3; ++c)
            d[2 - c] = static_cast<unsigned char>((s[c] * a + bg[c] * (255 - a) + 127) / 255);
        d[3] = 255;
    }
    return out;
}

namespace {

struct Tap {
    int src;
    double weight;
};

// For each destination cell along one axis, the source cells it overlaps and by how much; the
// weights of one destination cell add up to 1.
std::vector<std::vector<Tap>> area_taps(int src_len, int dst_len) {
    std::vector<std::vector<Tap>> taps(dst_len);
    const double step = static_cast<double>(src_len) / dst_len;
    for (int d = 0; d < dst_len; ++d) {
        const double lo = d * step, hi = (d + 1) * step;
        int s = static_cast<int>(std::floor(lo));
        for (; s < src_len && s < hi; ++s) {
            const double w = std::min<double>(hi, s + 1) - std::max<double>(lo, s);
            if (w > 1e-12) taps[d].push_back({s, w / step});
        }
    }
    return taps;
}

} // namespace

Image scale_to_fit(const Image& img, int box_w, int box_h) {
    if (img.width <= 0 || img.height <= 0 || box_w <= 0 || box_h <= 0) return img;
    if (img.width <= box_w && img.height <= box_h) return img;
    if (img.rgba.size() < static_cast<size_t>(img.width) * img.height * 4) return img;

    // The side that limits the scale gets the box's length exactly; the other is rounded.
    int w, h;
    if (static_cast<long long>(box_w) * img.height <= static_cast<long long>(box_h) * img.width) {
        w = box_w;
        h = static_cast<int>(std::lround(static_cast<double>(img.height) * box_w / img.width));
    } else {
        h = box_h;
        w = static_cast<int>(std::lround(static_cast<double>(img.width) * box_h / img.height));
    }
    w = std::clamp(w, 1, box_w);
    h = std::clamp(h, 1, box_h);

    const auto xs = area_taps(img.width, w);
    const auto ys = area_taps(img.height, h);
    Image out;
    out.width = w;
    out.height = h;
    out.rgba.resize(static_cast<size_t>(w) * h * 4);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            // Premultiplied sums: colour weighted by coverage and by alpha.
            double sum[4] = {0, 0, 0, 0};
            for (const Tap& ty : ys[y]) {
                for (const Tap& tx : xs[x]) {
                    const unsigned char* p =
                        &img.rgba[(static_cast<size_t>(ty.src) * img.width + tx.src) * 4];
                    const double wa = ty.weight * tx.weight * p[3];
                    sum[0] += wa * p[0];
                    sum[1] += wa * p[1];
                    sum[2] += wa * p[2];
                    sum[3] += wa;
                }
            }
            unsigned char* d = &out.rgba[(static_cast<size_t>(y) * w + x) * 4];
            for (int c = 0; c < 3; ++c) {
                const double v = sum[3] > 0 ? sum[c] / sum[3] : 0.0;
                d[c] = static_cast<unsigned char>(std::clamp(std::lround(v), 0L, 255L));
            }
            d[3] = static_cast<unsigned char>(std::clamp(std::lround(sum[3]), 0L, 255L));
        }
    }
    return out;
}

void centre_in_box(int img_w, int img_h, int box_w, int box_h, int& x, int& y) {
    x = (box_w - img_w) / 2;
    y = (box_h - img_h) / 2;
}

} // namespace quorvel
