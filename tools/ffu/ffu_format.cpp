#include "ffu/ffu_format.hpp"

#include <cstdio>

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace quorvel::ffu {
namespace {

constexpr std::array<std::uint32_t, 64> k = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

constexpr std::uint32_t rotr(std::uint32_t x, int n) {
    return (x >> n) | (x << (32 - n));
}

constexpr char security_signature[] = "SignedImage ";
constexpr char image_signature[] = "ImageFlash  ";
constexpr std::uint32_t max_chunk_kb = 64 * 1024;

void put16(std::vector<std::uint8_t>& out, std::size_t at, std::uint16_t v) {
    out[at] = static_cast<std::uint8_t>(v);
    out[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

void put32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

void append32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    out.resize(out.size() + 4);
    put32(out, out.size() - 4, v);
}

void pad_to(std::vector<std::uint8_t>& out, std::size_t unit) {
    out.resize((out.size() + unit - 1) / unit * unit, 0);
}

std::uint64_t round_up(std::uint64_t v, std::uint64_t unit) {
    return (v + unit - 1) / unit * unit;
}

// Little-endian reads, each checked against the end of the file.
class Reader {
public:
    explicit Reader(std::span<const std::uint8_t> file) : file_(file) {}
    std::uint64_t size() const { return file_.size(); }
    bool has(std::uint64_t at, std::uint64_t n) const { return at <= size() && n <= size() - at; }
    std::uint16_t u16(std::uint64_t at) const {
        return static_cast<std::uint16_t>(file_[at] | (file_[at + 1] << 8));
    }
    std::uint32_t u32(std::uint64_t at) const {
        std::uint32_t v = 0;
        for (int i = 3; i >= 0; --i)
            v = (v << 8) | file_[at + i];
        return v;
    }
    bool equals(std::uint64_t at, const char* text, std::size_t n) const {
        return std::memcmp(file_.data() + at, text, n) == 0;
    }
    std::span<const std::uint8_t> bytes(std::uint64_t at, std::uint64_t n) const {
        return file_.subspan(static_cast<std::size_t>(at), static_cast<std::size_t>(n));
    }

private:
    std::span<const std::uint8_t> file_;
};

ReadResult fail(Error error, std::string detail) {
    ReadResult r;
    r.error = error;
    r.detail = std::move(detail);
    return r;
}

std::string hex32(std::uint32_t v) {
    char text[11];
    static const char digits[] = "0123456789ABCDEF";
    text[0] = '0';
    text[1] = 'x';
    for (int i = 0; i < 8; ++i)
        text[2 + i] = digits[(v >> (28 - 4 * i)) & 0xF];
    text[10] = '\0';
    return text;
}

} // namespace

Sha256::Sha256()
    : state_{0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
             0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19} {}

void Sha256::block(const std::uint8_t* p) {
    std::uint32_t w[64];
    for (int i = 0; i < 16; ++i)
        w[i] = (std::uint32_t{p[4 * i]} << 24) | (std::uint32_t{p[4 * i + 1]} << 16) |
               (std::uint32_t{p[4 * i + 2]} << 8) | p[4 * i + 3];
    for (int i = 16; i < 64; ++i) {
        const std::uint32_t s0 = rotr(w[i - 15], 7) ^ rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
        const std::uint32_t s1 = rotr(w[i - 2], 17) ^ rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
        w[i] = w[i - 16] + s0 + w[i - 7] + s1;
    }
    std::uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3];
    std::uint32_t e = state_[4], f = state_[5], g = state_[6], h = state_[7];
    for (int i = 0; i < 64; ++i) {
        const std::uint32_t t1 =
            h + (rotr(e, 6) ^ rotr(e, 11) ^ rotr(e, 25)) + ((e & f) ^ (~e & g)) + k[i] + w[i];
        const std::uint32_t t2 =
            (rotr(a, 2) ^ rotr(a, 13) ^ rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
        h = g;
        g = f;
        f = e;
        e = d + t1;
        d = c;
        c = b;
        b = a;
        a = t1 + t2;
    }
    state_[0] += a;
    state_[1] += b;
    state_[2] += c;
    state_[3] += d;
    state_[4] += e;
    state_[5] += f;
    state_[6] += g;
    state_[7] += h;
}

void Sha256::update(const void* data, std::size_t size) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    length_ += size;
    while (size > 0) {
        if (buffered_ == 0 && size >= 64) {
            block(p);
            p += 64;
            size -= 64;
            continue;
        }
        const std::size_t n = std::min(size, 64 - buffered_);
        std::memcpy(buffer_.data() + buffered_, p, n);
        buffered_ += n;
        p += n;
        size -= n;
        if (buffered_ == 64) {
            block(buffer_.data());
            buffered_ = 0;
        }
    }
}

Digest Sha256::finish() {
    const std::uint64_t bits = length_ * 8;
    const std::uint8_t one = 0x80;
    update(&one, 1);
    const std::uint8_t zero = 0;
    while (buffered_ != 56)
        update(&zero, 1);
    std::uint8_t tail[8];
    for (int i = 0; i < 8; ++i)
        tail[i] = static_cast<std::uint8_t>(bits >> (56 - 8 * i));
    update(tail, 8);
    Digest out;
    for (int i = 0; i < 8; ++i)
        for (int j = 0; j < 4; ++j)
            out[4 * i + j] = static_cast<std::uint8_t>(state_[i] >> (24 - 8 * j));
    return out;
}

Digest sha256(std::span<const std::uint8_t> data) {
    Sha256 h;
    h.update(data.data(), data.size());
    return h.finish();
}

std::string to_hex(const Digest& digest) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (std::uint8_t b : digest) {
        out += digits[b >> 4];
        out += digits[b & 0xF];
    }
    return out;
}

bool location_offset(const Location& location, std::uint32_t block_count, std::uint32_t block_size,
                     std::uint64_t storage_bytes, std::uint64_t& offset) {
    const std::uint64_t blocks = storage_bytes / block_size;
    const std::uint64_t index = location.block_index;
    std::uint64_t first = 0;
    if (location.method == DiskAccess::from_start) {
        first = index;
    } else if (location.method == DiskAccess::from_end) {
        if (index >= blocks) return false;
        // Index 0 is the last block of the disk; the blocks run on towards its end.
        offset = storage_bytes - (index + 1) * block_size;
        return block_count <= index + 1;
    } else {
        return false;
    }
    if (first > blocks || block_count > blocks - first) return false;
    offset = first * block_size;
    return true;
}

std::uint64_t storage_needed(const std::vector<WriteDescriptor>& descriptors,
                             std::uint32_t block_size) {
    std::uint64_t blocks = 0;
    for (const WriteDescriptor& d : descriptors)
        for (const Location& l : d.locations) {
            const std::uint64_t need =
                l.method == DiskAccess::from_start
                    ? std::uint64_t{l.block_index} + d.block_count
                    : std::max<std::uint64_t>(std::uint64_t{l.block_index} + 1, d.block_count);
            blocks = std::max(blocks, need);
        }
    return blocks * block_size;
}

std::vector<std::uint8_t> write_image(const ImageSpec& plan) {
    if (plan.chunk_kb == 0 || plan.chunk_kb > max_chunk_kb ||
        (plan.chunk_kb & (plan.chunk_kb - 1)) != 0)
        throw std::invalid_argument("chunk size must be a power of two of at most 65536 KiB");
    if (plan.platform_id.size() >= platform_id_size)
        throw std::invalid_argument("platform id longer than 191 bytes");
    const std::uint32_t chunk = plan.chunk_kb * 1024;
    std::uint64_t blocks = 0;
    for (const WriteDescriptor& d : plan.descriptors) {
        if (d.locations.empty()) throw std::invalid_argument("write descriptor without locations");
        blocks += d.block_count;
    }
    if (plan.payload.size() != blocks * chunk)
        throw std::invalid_argument(
            "payload size is not the descriptors' blocks times the block size");

    // The image header, its manifest and the store, hashed as one run of chunks with the payload.
    std::vector<std::uint8_t> body(image_header_size);
    put32(body, 0, image_header_size);
    std::memcpy(body.data() + 4, image_signature, 12);
    const std::string manifest =
        "[FullFlash]\r\nOSVersion = " + plan.os_version +
        "\r\nDevicePlatformId0 = " + plan.platform_id +
        "\r\n\r\n[Store]\r\nSectorSize = " + std::to_string(sector_size) + "\r\nMinSectorCount = " +
        std::to_string(storage_needed(plan.descriptors, chunk) / sector_size) + "\r\n";
    put32(body, 16, static_cast<std::uint32_t>(manifest.size()));
    put32(body, 20, plan.chunk_kb);
    body.insert(body.end(), manifest.begin(), manifest.end());
    pad_to(body, chunk);

    const std::size_t store = body.size();
    body.resize(store + store_header_size, 0);
    put32(body, store, 0); // full flash
    put16(body, store + 4, 1);
    put16(body, store + 6, 0);
    put16(body, store + 8, 2);
    put16(body, store + 10, 0);
    std::memcpy(body.data() + store + 12, plan.platform_id.data(), plan.platform_id.size());
    put32(body, store + 0xCC, chunk);
    put32(body, store + 0xD0, static_cast<std::uint32_t>(plan.descriptors.size()));
    std::uint32_t descriptor_length = 0;
    for (const WriteDescriptor& d : plan.descriptors) {
        append32(body, static_cast<std::uint32_t>(d.locations.size()));
        append32(body, d.block_count);
        for (const Location& l : d.locations) {
            append32(body, static_cast<std::uint32_t>(l.method));
            append32(body, l.block_index);
        }
        descriptor_length += 8 + 8 * static_cast<std::uint32_t>(d.locations.size());
    }
    put32(body, store + 0xD4, descriptor_length);
    pad_to(body, chunk);
    body.insert(body.end(), plan.payload.begin(), plan.payload.end());

    std::vector<std::uint8_t> hash_table;
    for (std::size_t at = 0; at < body.size(); at += chunk) {
        const Digest d = sha256(std::span(body).subspan(at, chunk));
        hash_table.insert(hash_table.end(), d.begin(), d.end());
    }
    // Any bytes serve as the catalog: nothing checks a signature here.
    const std::string catalog = "quorvel stand-in catalog";

    // Sized once and filled in place.
    const std::size_t hash_at = security_header_size + catalog.size();
    const std::size_t body_at = round_up(hash_at + hash_table.size(), chunk);
    std::vector<std::uint8_t> image(body_at + body.size(), 0);
    put32(image, 0, security_header_size);
    std::memcpy(image.data() + 4, security_signature, 12);
    put32(image, 16, plan.chunk_kb);
    put32(image, 20, sha256_alg_id);
    put32(image, 24, static_cast<std::uint32_t>(catalog.size()));
    put32(image, 28, static_cast<std::uint32_t>(hash_table.size()));
    std::memcpy(image.data() + security_header_size, catalog.data(), catalog.size());
    std::memcpy(image.data() + hash_at, hash_table.data(), hash_table.size());
    std::memcpy(image.data() + body_at, body.data(), body.size());
    return image;
}

const char* error_text(Error error) {
    switch (error) {
    case Error::none:
        return "success";
    case Error::invalid_security_header:
        return "invalid security header";
    case Error::bad_chunk_size:
        return "invalid chunk size";
    case Error::invalid_image_header:
        return "invalid image header";
    case Error::unsupported_version:
        return "unsupported image version";
    case Error::invalid_store_header:
        return "invalid store header";
    case Error::misaligned_block_size:
        return "block size does not match the chunk size";
    case Error::bad_descriptors:
        return "invalid write descriptors";
    case Error::unexpected_end:
        return "unexpected end of stream";
    case Error::trailing_data:
        return "unexpected data after the payload";
    case Error::bad_hash_table:
        return "invalid hash table";
    case Error::location_beyond_storage:
        return "location beyond storage";
    case Error::hash_mismatch:
        return "hash mismatch";
    case Error::platform_mismatch:
        return "platform mismatch";
    }
    return "unknown error";
}

std::uint32_t error_code(Error error) {
    return error == Error::none ? 0 : 0xA0010000u + static_cast<std::uint32_t>(error);
}

ReadResult read_image(std::span<const std::uint8_t> file, const Device& device) {
    const Reader r(file);
    // 1. Security header.
    if (!r.has(0, security_header_size))
        return fail(Error::unexpected_end, "file shorter than the security header");
    if (r.u32(0) != security_header_size || !r.equals(4, security_signature, 12))
        return fail(Error::invalid_security_header, "no \"SignedImage \" signature");
    if (r.u32(20) != sha256_alg_id)
        return fail(Error::invalid_security_header, "hash algorithm " + hex32(r.u32(20)));
    const std::uint32_t chunk_kb = r.u32(16);
    if (chunk_kb == 0 || chunk_kb > max_chunk_kb || (chunk_kb & (chunk_kb - 1)) != 0)
        return fail(Error::bad_chunk_size, std::to_string(chunk_kb) + " KiB");
    const std::uint64_t chunk = std::uint64_t{chunk_kb} * 1024;
    const std::uint64_t catalog_size = r.u32(24);
    const std::uint64_t hash_size = r.u32(28);
    if (hash_size % 32 != 0)
        return fail(Error::bad_hash_table, "size " + std::to_string(hash_size) + " bytes");

    // 2. Image header and manifest.
    const std::uint64_t image_at = round_up(security_header_size + catalog_size + hash_size, chunk);
    if (!r.has(image_at, image_header_size))
        return fail(Error::unexpected_end, "image header beyond the end of the file");
    const std::uint32_t image_header = r.u32(image_at);
    if ((image_header != 24 && image_header != 28) || !r.equals(image_at + 4, image_signature, 12))
        return fail(Error::invalid_image_header, "no \"ImageFlash  \" signature");
    if (r.u32(image_at + 20) != chunk_kb)
        return fail(Error::bad_chunk_size,
                    "image header chunk size " + std::to_string(r.u32(image_at + 20)) + " KiB");
    if (!r.has(image_at, image_header))
        return fail(Error::unexpected_end, "image header beyond the end of the file");
    if (image_header == 28 && r.u32(image_at + 24) != 0)
        return fail(Error::invalid_image_header, "device targeting is not supported");
    const std::uint64_t manifest_at = image_at + image_header;
    const std::uint64_t manifest_size = r.u32(image_at + 16);
    if (!r.has(manifest_at, manifest_size))
        return fail(Error::unexpected_end, "manifest beyond the end of the file");
    ReadResult result;
    Image& image = result.image;
    const auto manifest = r.bytes(manifest_at, manifest_size);
    image.manifest.assign(manifest.begin(), manifest.end());

    // 3. Store header.
    const std::uint64_t store = round_up(manifest_at + manifest_size, chunk);
    if (!r.has(store, store_header_size))
        return fail(Error::unexpected_end, "store header beyond the end of the file");
    const std::uint16_t major = r.u16(store + 4), minor = r.u16(store + 6);
    const std::uint16_t ff_major = r.u16(store + 8), ff_minor = r.u16(store + 10);
    if (major != 1 || minor != 0 || ff_major != 2 || ff_minor != 0)
        return fail(Error::unsupported_version,
                    std::to_string(major) + "." + std::to_string(minor) + " / " +
                        std::to_string(ff_major) + "." + std::to_string(ff_minor));
    const auto platform = r.bytes(store + 12, platform_id_size);
    const auto nul = std::find(platform.begin(), platform.end(), std::uint8_t{0});
    if (nul == platform.end())
        return fail(Error::invalid_store_header, "platform id without a terminating zero");
    image.platform_id.assign(platform.begin(), nul);
    image.chunk_size = static_cast<std::uint32_t>(chunk);
    image.block_size = r.u32(store + 0xCC);
    if (image.block_size != chunk)
        return fail(Error::misaligned_block_size, "block size " + std::to_string(image.block_size) +
                                                      ", chunk size " + std::to_string(chunk));
    const std::uint32_t write_count = r.u32(store + 0xD0);
    const std::uint64_t write_length = r.u32(store + 0xD4);
    const std::uint32_t validate_count = r.u32(store + 0xD8);
    const std::uint64_t validate_length = r.u32(store + 0xDC);

    // 4. Descriptors: validation entries, then write descriptors, each exactly their length.
    std::uint64_t at = store + store_header_size;
    if (!r.has(at, validate_length) || !r.has(at + validate_length, write_length))
        return fail(Error::unexpected_end, "descriptors beyond the end of the file");
    const std::uint64_t validate_end = at + validate_length;
    for (std::uint32_t i = 0; i < validate_count; ++i) {
        if (validate_end - at < 12)
            return fail(Error::bad_descriptors, "validation entries overrun");
        const std::uint64_t bytes = r.u32(at + 8);
        if (validate_end - at - 12 < bytes)
            return fail(Error::bad_descriptors, "validation entries overrun");
        at += 12 + bytes;
    }
    if (at != validate_end)
        return fail(Error::bad_descriptors, "validation entries do not fill their length");
    const std::uint64_t write_end = at + write_length;
    for (std::uint32_t i = 0; i < write_count; ++i) {
        if (write_end - at < 8)
            return fail(Error::bad_descriptors, "descriptor " + std::to_string(i) + " overruns");
        const std::uint32_t location_count = r.u32(at);
        WriteDescriptor d;
        d.block_count = r.u32(at + 4);
        at += 8;
        if ((write_end - at) / 8 < location_count)
            return fail(Error::bad_descriptors, "descriptor " + std::to_string(i) + " overruns");
        for (std::uint32_t j = 0; j < location_count; ++j, at += 8)
            d.locations.push_back({static_cast<DiskAccess>(r.u32(at)), r.u32(at + 4)});
        image.block_total += d.block_count;
        image.descriptors.push_back(std::move(d));
    }
    if (at != write_end)
        return fail(Error::bad_descriptors,
                    std::to_string(write_end - at) + " bytes left after the descriptors");

    // 5. The file holds the payload exactly.
    image.payload_offset = round_up(write_end, chunk);
    const std::uint64_t expected = image.payload_offset + image.block_total * image.block_size;
    if (r.size() < expected)
        return fail(Error::unexpected_end, "file is " + std::to_string(r.size()) +
                                               " bytes, the image needs " +
                                               std::to_string(expected));
    if (r.size() > expected)
        return fail(Error::trailing_data, "file is " + std::to_string(r.size()) +
                                              " bytes, the image ends at " +
                                              std::to_string(expected));
    if (hash_size != 32 * ((r.size() - image_at) / chunk))
        return fail(Error::bad_hash_table, "size " + std::to_string(hash_size) + " bytes for " +
                                               std::to_string((r.size() - image_at) / chunk) +
                                               " chunks");

    // 6. Against the device: every write on the disk, every chunk as hashed, the platform.
    for (std::size_t i = 0; i < image.descriptors.size(); ++i)
        for (const Location& l : image.descriptors[i].locations) {
            std::uint64_t offset = 0;
            if (!location_offset(l, image.descriptors[i].block_count, image.block_size,
                                 device.storage_bytes, offset))
                return fail(Error::location_beyond_storage,
                            "descriptor " + std::to_string(i) + ", method " +
                                std::to_string(static_cast<std::uint32_t>(l.method)) + ", block " +
                                std::to_string(l.block_index));
        }
    const std::uint64_t hash_at = security_header_size + catalog_size;
    for (std::uint64_t c = 0; image_at + c * chunk < r.size(); ++c) {
        const Digest d = sha256(r.bytes(image_at + c * chunk, chunk));
        if (std::memcmp(d.data(), r.bytes(hash_at + 32 * c, 32).data(), 32) != 0)
            return fail(Error::hash_mismatch, "chunk " + std::to_string(c));
    }
    if (image.platform_id != device.platform_id)
        return fail(Error::platform_mismatch,
                    "image is for " + image.platform_id + ", device is " + device.platform_id);
    return result;
}

bool read_file_bytes(const std::string& path, std::vector<std::uint8_t>& content) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    std::uint8_t buffer[65536];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        content.insert(content.end(), buffer, buffer + n);
    const bool ok = !std::ferror(f);
    std::fclose(f);
    return ok;
}

} // namespace quorvel::ffu
