#include "core/zip_reader.hpp"

#include <algorithm>
#include <new>
#include <utility>

#include <zlib.h>

namespace quorvel {

namespace {

constexpr uint32_t kLocalSignature = 0x04034b50;
constexpr uint32_t kCentralSignature = 0x02014b50;
constexpr uint32_t kEndSignature = 0x06054b50;
constexpr size_t kLocalHeaderSize = 30;
constexpr size_t kCentralHeaderSize = 46;
constexpr size_t kEndRecordSize = 22;
constexpr size_t kMaxCommentSize = 0xFFFF;

// General purpose flags: bit 0 traditional or AES encryption, bit 6 strong encryption, bit 13
// encrypted central directory.
constexpr uint16_t kEncryptedFlags = 0x0001 | 0x0040 | 0x2000;

constexpr uint16_t kStored = 0;
constexpr uint16_t kDeflated = 8;

uint16_t get16(const unsigned char* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t get32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

bool is_separator(char c) {
    return c == '/' || c == '\\';
}

struct EndRecord {
    uint32_t entries;
    uint32_t cd_offset;
    uint32_t cd_size;
    uint64_t position;
};

bool find_end_record(const unsigned char* data, size_t size, EndRecord& end) {
    if (size < kEndRecordSize) return false;
    const size_t lowest =
        size - kEndRecordSize > kMaxCommentSize ? size - kEndRecordSize - kMaxCommentSize : 0;
    for (size_t pos = size - kEndRecordSize + 1; pos-- > lowest;) {
        const unsigned char* p = data + pos;
        if (get32(p) != kEndSignature) continue;
        if (pos + kEndRecordSize + get16(p + 20) > size) continue; // a signature inside a comment
        const uint16_t disk = get16(p + 4);
        const uint16_t cd_disk = get16(p + 6);
        const uint16_t disk_entries = get16(p + 8);
        const uint16_t entries = get16(p + 10);
        end.cd_size = get32(p + 12);
        end.cd_offset = get32(p + 16);
        end.entries = entries;
        end.position = pos;
        // Split archives and ZIP64 (whose markers are all-ones fields) are not read.
        if (disk != 0 || cd_disk != 0 || disk_entries != entries) return false;
        if (entries == 0xFFFF || end.cd_size == 0xFFFFFFFF || end.cd_offset == 0xFFFFFFFF)
            return false;
        return uint64_t{end.cd_offset} + end.cd_size <= end.position;
    }
    return false;
}

bool check_local_header(const unsigned char* data, const EndRecord& end, ZipEntry& e) {
    const uint64_t local = e.local_offset;
    if (local + kLocalHeaderSize > end.cd_offset) return false;
    const unsigned char* p = data + local;
    if (get32(p) != kLocalSignature) return false;
    if (get16(p + 6) & kEncryptedFlags) return false;
    if (get16(p + 8) != e.method) return false;
    const uint16_t name_len = get16(p + 26);
    const uint16_t extra_len = get16(p + 28);
    const uint64_t data_offset = local + kLocalHeaderSize + name_len + extra_len;
    if (data_offset + e.compressed_size > end.cd_offset) return false;
    if (name_len != e.name.size() ||
        !std::equal(e.name.begin(), e.name.end(), p + kLocalHeaderSize,
                    [](char a, unsigned char b) { return static_cast<unsigned char>(a) == b; }))
        return false;
    e.data_offset = static_cast<uint32_t>(data_offset);
    return true;
}

bool read_directory(const unsigned char* data, size_t size, std::vector<ZipEntry>& out) {
    EndRecord end{};
    if (data == nullptr || !find_end_record(data, size, end)) return false;
    const uint64_t cd_end = uint64_t{end.cd_offset} + end.cd_size;
    uint64_t pos = end.cd_offset;
    for (uint32_t i = 0; i < end.entries; ++i) {
        if (pos + kCentralHeaderSize > cd_end) return false;
        const unsigned char* p = data + pos;
        if (get32(p) != kCentralSignature) return false;
        const uint16_t flags = get16(p + 8);
        const uint16_t name_len = get16(p + 28);
        const uint16_t extra_len = get16(p + 30);
        const uint16_t comment_len = get16(p + 32);
        const uint64_t next = pos + kCentralHeaderSize + name_len + extra_len + comment_len;
        if (next > cd_end) return false;

        ZipEntry e;
        e.method = get16(p + 10);
        e.crc32 = get32(p + 16);
        e.compressed_size = get32(p + 20);
        e.size = get32(p + 24);
        e.local_offset = get32(p + 42);
        e.name.assign(reinterpret_cast<const char*>(p + kCentralHeaderSize), name_len);
        e.is_dir = !e.name.empty() && e.name.back() == '/';

        if (flags & kEncryptedFlags) return false;
        if (e.method != kStored && e.method != kDeflated) return false;
        if (e.compressed_size == 0xFFFFFFFF || e.size == 0xFFFFFFFF || e.local_offset == 0xFFFFFFFF)
            return false;
        if (e.method == kStored && e.compressed_size != e.size) return false;
        if (e.is_dir && e.size != 0) return false;
        if (!is_safe_zip_name(e.name)) return false;
        if (!check_local_header(data, end, e)) return false;
        out.push_back(std::move(e));
        pos = next;
    }
    return true;
}

bool inflate_raw(const unsigned char* in, uint32_t in_size, uint32_t size,
                 std::vector<unsigned char>& out) {
    z_stream zs{};
    if (inflateInit2(&zs, -MAX_WBITS) != Z_OK) return false;
    // One byte of room beyond the expected size shows a stream that is longer than claimed. The
    // buffer grows with the output actually produced rather than trusting the claimed size.
    const size_t limit = size_t{size} + 1;
    out.resize(std::min<size_t>(limit, size_t{1} << 20));
    zs.next_in = const_cast<Bytef*>(in);
    zs.avail_in = in_size;
    zs.next_out = out.data();
    zs.avail_out = static_cast<uInt>(out.size());
    int rc = Z_OK;
    while (true) {
        rc = inflate(&zs, Z_FINISH);
        if (rc != Z_OK && rc != Z_BUF_ERROR) break;
        if (zs.avail_out != 0 || out.size() == limit) break;
        // Output buffer full and room left to grow: continue into a larger one.
        const size_t done = out.size();
        out.resize(std::min<size_t>(limit, done * 2));
        zs.next_out = out.data() + done;
        zs.avail_out = static_cast<uInt>(out.size() - done);
    }
    const bool ok = rc == Z_STREAM_END && zs.total_out == size && zs.avail_in == 0;
    inflateEnd(&zs);
    out.resize(ok ? size : 0);
    return ok;
}

} // namespace

bool is_safe_zip_name(const Text& name) {
    if (name.empty() || is_separator(name[0])) return false;
    if (name.find('\0') != Text::npos || name.find(':') != Text::npos) return false;
    // Every '\' counts as a separator here, even a trail byte: that can only refuse more.
    size_t start = 0;
    while (start <= name.size()) {
        size_t stop = start;
        while (stop < name.size() && !is_separator(name[stop]))
            ++stop;
        // Windows drops trailing dots and spaces of a path component, so "..", "... " and the
        // like would all climb out of the folder.
        const bool only_dots_and_spaces =
            stop > start && std::all_of(name.begin() + static_cast<std::ptrdiff_t>(start),
                                        name.begin() + static_cast<std::ptrdiff_t>(stop),
                                        [](char c) { return c == '.' || c == ' '; });
        if (only_dots_and_spaces) return false;
        start = stop + 1;
    }
    return true;
}

Text zip_output_path(const Text& target_dir, const Text& name, char separator) {
    Text path = target_dir;
    if (!path.empty() && !ends_with_separator(path)) path += separator;
    Text tail = name;
    if (!tail.empty() && tail.back() == '/') tail.pop_back();
    std::replace(tail.begin(), tail.end(), '/', separator);
    return path + tail;
}

bool read_zip_directory(const unsigned char* data, size_t size, std::vector<ZipEntry>& out) {
    out.clear();
    try {
        if (read_directory(data, size, out)) return true;
    } catch (const std::bad_alloc&) {
    }
    out.clear();
    return false;
}

bool read_zip_entry(const unsigned char* data, size_t size, const ZipEntry& entry,
                    std::vector<unsigned char>& out) {
    out.clear();
    if (data == nullptr || uint64_t{entry.data_offset} + entry.compressed_size > size) return false;
    const unsigned char* in = data + entry.data_offset;
    try {
        if (entry.method == kStored) {
            if (entry.compressed_size != entry.size) return false;
            out.assign(in, in + entry.size);
        } else if (entry.method == kDeflated) {
            if (!inflate_raw(in, entry.compressed_size, entry.size, out)) return false;
        } else {
            return false;
        }
    } catch (const std::bad_alloc&) {
        out.clear();
        return false;
    }
    const uLong crc = crc32(crc32(0L, Z_NULL, 0), out.data(), static_cast<uInt>(out.size()));
    if (crc != entry.crc32) {
        out.clear();
        return false;
    }
    return true;
}

int extract_zip(const unsigned char* data, size_t size, const Text& target_dir, char separator,
                ZipSink& sink) {
    std::vector<ZipEntry> entries;
    if (!read_zip_directory(data, size, entries)) return -1;
    std::vector<unsigned char> content;
    // Inflate and check everything first so that a damaged archive leaves no half-written tree.
    for (const ZipEntry& e : entries) {
        if (!e.is_dir && !read_zip_entry(data, size, e, content)) return -1;
    }
    for (const ZipEntry& e : entries) {
        const Text path = zip_output_path(target_dir, e.name, separator);
        if (e.is_dir) {
            if (!sink.make_dir(path)) return -1;
        } else if (!read_zip_entry(data, size, e, content) ||
                   !sink.write_file(path, content.data(), content.size())) {
            return -1;
        }
    }
    return 1;
}

} // namespace quorvel
