#include "core/gif_anim.hpp"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>

namespace quorvel {

namespace {

// Limits that keep a broken or hostile header from asking for absurd amounts of memory.
constexpr size_t max_screen_pixels = size_t{1} << 24;
constexpr size_t max_total_pixels = size_t{1} << 25; // summed over all frames

class Reader {
public:
    Reader(const unsigned char* data, size_t size) : data_(data), size_(size) {}

    bool u8(unsigned& v) {
        if (pos_ >= size_) return false;
        v = data_[pos_++];
        return true;
    }
    bool u16(unsigned& v) {
        if (size_ - pos_ < 2) return false;
        v = data_[pos_] | (data_[pos_ + 1] << 8);
        pos_ += 2;
        return true;
    }
    const unsigned char* bytes(size_t n) {
        if (size_ - pos_ < n) return nullptr;
        const unsigned char* p = data_ + pos_;
        pos_ += n;
        return p;
    }

private:
    const unsigned char* data_;
    size_t size_;
    size_t pos_ = 0;
};

// Reads one sub-block; an empty result is the terminator.
bool read_sub_block(Reader& r, const unsigned char*& p, unsigned& len) {
    if (!r.u8(len)) return false;
    p = r.bytes(len);
    return p != nullptr;
}

// Reads sub-blocks up to and including the terminator, appending their data to `dest` if given.
bool read_sub_blocks(Reader& r, std::vector<unsigned char>* dest) {
    for (;;) {
        const unsigned char* p;
        unsigned len;
        if (!read_sub_block(r, p, len)) return false;
        if (len == 0) return true;
        if (dest) dest->insert(dest->end(), p, p + len);
    }
}

// GIF's LZW: codes are packed from the least significant bit, start one bit wider than the
// minimum code size and widen up to 12 bits as the table grows. A full table stays as it is
// until a clear code. Gives false for a code the table does not hold yet or data that ends
// before `count` pixels.
bool lzw_decode(const std::vector<unsigned char>& in, unsigned min_code_size, size_t count,
                std::vector<unsigned char>& out) {
    // Colour indices are bytes: a palette has at most 256 entries.
    if (min_code_size < 1 || min_code_size > 8) return false;
    constexpr unsigned table_size = 4096;
    const unsigned clear = 1u << min_code_size, eoi = clear + 1;
    std::vector<std::uint16_t> prefix(table_size);
    std::vector<unsigned char> suffix(table_size), first(table_size), stack(table_size);
    for (unsigned c = 0; c < clear; ++c) {
        suffix[c] = static_cast<unsigned char>(c);
        first[c] = static_cast<unsigned char>(c);
    }
    out.clear();
    out.reserve(count);
    unsigned width = min_code_size + 1, next = eoi + 1;
    int prev = -1;
    const size_t total_bits = in.size() * 8;
    size_t bit = 0;
    while (out.size() < count) {
        if (total_bits - bit < width) return false;
        unsigned code = 0;
        for (unsigned i = 0; i < width; ++i, ++bit)
            code |= ((in[bit >> 3] >> (bit & 7)) & 1u) << i;
        if (code == clear) {
            width = min_code_size + 1;
            next = eoi + 1;
            prev = -1;
            continue;
        }
        if (code == eoi) return false; // ends before the image is complete
        if (prev < 0) {
            if (code >= clear) return false;
            out.push_back(static_cast<unsigned char>(code));
            prev = static_cast<int>(code);
            continue;
        }
        if (code > next || (code == next && next >= table_size)) return false;
        if (next < table_size) {
            // The new entry is the previous string plus the first byte of the current one, which
            // for the code being defined right now (code == next) is the previous string's first.
            prefix[next] = static_cast<std::uint16_t>(prev);
            suffix[next] = first[code < next ? code : static_cast<unsigned>(prev)];
            first[next] = first[prev];
            ++next;
            if (next == (1u << width) && width < 12) ++width;
        }
        // Prefixes always point at lower codes, so this walk ends within the table's size.
        unsigned depth = 0, c = code;
        while (c > eoi) {
            stack[depth++] = suffix[c];
            c = prefix[c];
        }
        stack[depth++] = static_cast<unsigned char>(c);
        while (depth > 0 && out.size() < count)
            out.push_back(stack[--depth]);
        prev = static_cast<int>(code);
    }
    return true;
}

struct Control {
    unsigned disposal = 0;
    int delay_cs = 0;
    int transparent = -1;
};

struct Rect {
    int x = 0, y = 0, w = 0, h = 0;
};

void clear_rect(std::vector<unsigned char>& canvas, int sw, int sh, const Rect& r) {
    const int x0 = std::min(r.x, sw), x1 = std::min(r.x + r.w, sw);
    const int y1 = std::min(r.y + r.h, sh);
    for (int y = std::min(r.y, sh); y < y1; ++y)
        std::fill(canvas.begin() + (static_cast<size_t>(y) * sw + x0) * 4,
                  canvas.begin() + (static_cast<size_t>(y) * sw + x1) * 4, 0);
}

// The order in which an interlaced image stores its rows.
std::vector<int> interlaced_rows(int h) {
    std::vector<int> rows;
    rows.reserve(h);
    static const int passes[4][2] = {{0, 8}, {4, 8}, {2, 4}, {1, 2}};
    for (const auto& p : passes)
        for (int y = p[0]; y < h; y += p[1])
            rows.push_back(y);
    return rows;
}

} // namespace

bool decode_gif(const unsigned char* data, size_t size, GifAnimation& out) {
    if (data == nullptr) return false;
    Reader r(data, size);
    const unsigned char* sig = r.bytes(6);
    if (!sig || (std::memcmp(sig, "GIF87a", 6) != 0 && std::memcmp(sig, "GIF89a", 6) != 0))
        return false;
    unsigned sw, sh, flags, background, aspect;
    if (!r.u16(sw) || !r.u16(sh) || !r.u8(flags) || !r.u8(background) || !r.u8(aspect))
        return false;
    if (sw == 0 || sh == 0 || static_cast<size_t>(sw) * sh > max_screen_pixels) return false;
    const unsigned char* global = nullptr;
    unsigned global_count = 0;
    if (flags & 0x80) {
        global_count = 2u << (flags & 7);
        global = r.bytes(global_count * 3);
        if (!global) return false;
    }

    GifAnimation anim;
    anim.width = static_cast<int>(sw);
    anim.height = static_cast<int>(sh);
    const size_t screen_pixels = static_cast<size_t>(sw) * sh;
    std::vector<unsigned char> canvas(screen_pixels * 4, 0);
    std::vector<unsigned char> saved; // the canvas to go back to after a frame with disposal 3
    std::vector<unsigned char> lzw_data, indices;
    Control control;
    unsigned last_disposal = 0;
    Rect last_rect;
    size_t total_pixels = 0;

    for (;;) {
        unsigned block;
        if (!r.u8(block)) return false;
        if (block == 0x3B) break;
        if (block == 0x21) {
            unsigned label;
            if (!r.u8(label)) return false;
            if (label == 0xF9) {
                std::vector<unsigned char> gce;
                if (!read_sub_blocks(r, &gce) || gce.size() < 4) return false;
                control.disposal = (gce[0] >> 2) & 7;
                control.delay_cs = gce[1] | (gce[2] << 8);
                control.transparent = (gce[0] & 1) ? gce[3] : -1;
            } else if (label == 0xFF) {
                const unsigned char* id;
                unsigned len;
                if (!read_sub_block(r, id, len)) return false;
                if (len == 0) continue;
                const bool looping = len == 11 && (std::memcmp(id, "NETSCAPE2.0", 11) == 0 ||
                                                   std::memcmp(id, "ANIMEXTS1.0", 11) == 0);
                for (;;) {
                    const unsigned char* p;
                    if (!read_sub_block(r, p, len)) return false;
                    if (len == 0) break;
                    if (looping && len >= 3 && p[0] == 1) anim.loop_count = p[1] | (p[2] << 8);
                }
            } else if (!read_sub_blocks(r, nullptr)) {
                return false;
            }
            continue;
        }
        if (block != 0x2C) return false;

        unsigned x, y, w, h, image_flags;
        if (!r.u16(x) || !r.u16(y) || !r.u16(w) || !r.u16(h) || !r.u8(image_flags)) return false;
        const Rect rect{static_cast<int>(x), static_cast<int>(y), static_cast<int>(w),
                        static_cast<int>(h)};
        const unsigned char* palette = global;
        unsigned palette_count = global_count;
        if (image_flags & 0x80) {
            palette_count = 2u << (image_flags & 7);
            palette = r.bytes(palette_count * 3);
            if (!palette) return false;
        }
        if (!palette) return false;
        unsigned min_code_size;
        if (!r.u8(min_code_size)) return false;
        lzw_data.clear();
        if (!read_sub_blocks(r, &lzw_data)) return false;
        const size_t count = static_cast<size_t>(w) * h;
        total_pixels += screen_pixels;
        if (count > max_screen_pixels || total_pixels > max_total_pixels) return false;
        if (!lzw_decode(lzw_data, min_code_size, count, indices)) return false;

        // The previous frame leaves the screen as its disposal method says.
        if (last_disposal == 2)
            clear_rect(canvas, anim.width, anim.height, last_rect);
        else if (last_disposal == 3 && !saved.empty())
            canvas = saved;
        if (control.disposal == 3) saved = canvas;

        const std::vector<int> rows =
            (image_flags & 0x40) ? interlaced_rows(rect.h) : std::vector<int>();
        for (int row = 0; count > 0 && row < rect.h; ++row) {
            const int py = rect.y + (rows.empty() ? row : rows[row]);
            if (py >= anim.height) continue;
            const unsigned char* src = &indices[static_cast<size_t>(row) * rect.w];
            for (int col = 0; col < rect.w; ++col) {
                const int px = rect.x + col;
                const unsigned idx = src[col];
                if (px >= anim.width) break;
                if (static_cast<int>(idx) == control.transparent || idx >= palette_count) continue;
                unsigned char* d = &canvas[(static_cast<size_t>(py) * anim.width + px) * 4];
                d[0] = palette[idx * 3];
                d[1] = palette[idx * 3 + 1];
                d[2] = palette[idx * 3 + 2];
                d[3] = 255;
            }
        }
        Image frame;
        frame.width = anim.width;
        frame.height = anim.height;
        frame.rgba = canvas;
        anim.frames.push_back(std::move(frame));
        anim.delays_ms.push_back(control.delay_cs * 10);

        last_disposal = control.disposal;
        last_rect = rect;
        control = Control();
    }
    if (anim.frames.empty()) return false;
    out = std::move(anim);
    return true;
}

} // namespace quorvel
