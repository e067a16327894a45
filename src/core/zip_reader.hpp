#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/text.hpp"

namespace quorvel {

// One entry of a ZIP archive as its central directory describes it.
struct ZipEntry {
    Text name; // as stored, '/' separating folders
    bool is_dir = false;
    uint16_t method = 0; // 0 stored, 8 deflated
    uint32_t crc32 = 0;
    uint32_t compressed_size = 0;
    uint32_t size = 0;
    uint32_t local_offset = 0; // of the local header
    uint32_t data_offset = 0;  // of the entry's data, past the local header
};

// Where extracted entries go. Paths are complete: the target folder followed by the entry's name.
class ZipSink {
public:
    virtual ~ZipSink() = default;
    // Creates the folder unless it exists.
    virtual bool make_dir(const Text& path) = 0;
    // Creates the file or replaces its content.
    virtual bool write_file(const Text& path, const unsigned char* data, size_t size) = 0;
};

// Reads and checks the central directory of an archive held in memory: every entry lies inside
// the archive, has a matching local header, a supported method (stored or deflated), no
// encryption and a name that stays inside the target folder. False when anything is wrong; `out`
// then holds no entries.
bool read_zip_directory(const unsigned char* data, size_t size, std::vector<ZipEntry>& out);

// Unpacks one entry that read_zip_directory gave, checking its size and CRC-32.
bool read_zip_entry(const unsigned char* data, size_t size, const ZipEntry& entry,
                    std::vector<unsigned char>& out);

// Whether an entry name is safe to join to a target folder: relative, no drive, no colon, no
// ".." component ('/' and '\' both count as separators), no NUL byte.
bool is_safe_zip_name(const Text& name);

// The path of an entry below `target_dir`: every '/' of the name becomes `separator` ('/' or '\');
// a folder entry's trailing '/' is dropped; no separator is added after a target that already
// ends with one.
Text zip_output_path(const Text& target_dir, const Text& name, char separator);

// Unpacks every entry in archive order into `target_dir` through `sink`. The whole archive,
// including every entry's data and CRC-32, is checked before the first write, so a broken archive
// writes nothing. 1 when every entry has been unpacked, -1 otherwise.
int extract_zip(const unsigned char* data, size_t size, const Text& target_dir, char separator,
                ZipSink& sink);

} // namespace quorvel
