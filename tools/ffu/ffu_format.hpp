// Full Flash Update (FFU) images, version 1: a writer that makes them and a reader that checks
// them as a careful flasher does before it writes anything to a handset.
// Whole-file API: images are read into memory and checked there. The stand-in only ever sees
// small images, and holding the file makes every bound check a plain comparison.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace quorvel::ffu {

using Digest = std::array<std::uint8_t, 32>;

// SHA-256, fed in pieces.
class Sha256 {
public:
    Sha256();
    void update(const void* data, std::size_t size);
    Digest finish();

private:
    void block(const std::uint8_t* p);
    std::array<std::uint32_t, 8> state_;
    std::array<std::uint8_t, 64> buffer_{};
    std::size_t buffered_ = 0;
    std::uint64_t length_ = 0;
};

Digest sha256(std::span<const std::uint8_t> data);
std::string to_hex(const Digest& digest);

inline constexpr std::uint32_t security_header_size = 32;
inline constexpr std::uint32_t image_header_size = 24;
inline constexpr std::uint32_t store_header_size = 248;
inline constexpr std::uint32_t sha256_alg_id = 0x800C;
inline constexpr std::uint32_t platform_id_size = 192;
inline constexpr std::uint32_t sector_size = 512;

enum class DiskAccess : std::uint32_t { from_start = 0, from_end = 2 };

struct Location {
    DiskAccess method = DiskAccess::from_start;
    std::uint32_t block_index = 0;
    bool operator==(const Location&) const = default;
};

// The next `block_count` payload blocks, written at each of `locations`.
struct WriteDescriptor {
    std::uint32_t block_count = 0;
    std::vector<Location> locations;
    bool operator==(const WriteDescriptor&) const = default;
};

struct ImageSpec {
    std::string platform_id;
    std::uint32_t chunk_kb = 128; // also the store's block size
    std::string os_version = "10.0.0.0";
    std::vector<WriteDescriptor> descriptors;
    // Σ block_count × block size bytes, in descriptor order.
    std::vector<std::uint8_t> payload;
};

// Builds the image. Throws std::invalid_argument when the plan is inconsistent (payload size,
// chunk size, platform id length, a descriptor without locations).
std::vector<std::uint8_t> write_image(const ImageSpec& plan);

// The least storage, in bytes, that holds every write of the descriptors.
std::uint64_t storage_needed(const std::vector<WriteDescriptor>& descriptors,
                             std::uint32_t block_size);

enum class Error {
    none = 0,
    invalid_security_header,
    bad_chunk_size,
    invalid_image_header,
    unsupported_version,
    invalid_store_header,
    misaligned_block_size,
    bad_descriptors,
    unexpected_end,
    trailing_data,
    bad_hash_table,
    location_beyond_storage,
    hash_mismatch,
    platform_mismatch,
};

// A short text and a vendor-like number for each error.
const char* error_text(Error error);
std::uint32_t error_code(Error error);

struct Image {
    std::uint32_t chunk_size = 0;
    std::uint32_t block_size = 0;
    std::string platform_id;
    std::string manifest;
    std::uint64_t payload_offset = 0;
    std::uint64_t block_total = 0;
    std::vector<WriteDescriptor> descriptors;
};

struct Device {
    std::uint64_t storage_bytes = 0;
    std::string platform_id;
};

struct ReadResult {
    Error error = Error::none;
    std::string detail; // what was found, for the message
    Image image;
    bool ok() const { return error == Error::none; }
};

// Checks the whole file against the device. Never reads outside `file`.
ReadResult read_image(std::span<const std::uint8_t> file, const Device& device);

// The byte offset of the first block of a location on a disk of `storage_bytes`, valid when
// `block_count` blocks from there fit on the disk; false otherwise.
bool location_offset(const Location& location, std::uint32_t block_count, std::uint32_t block_size,
                     std::uint64_t storage_bytes, std::uint64_t& offset);

// Reads a whole file (the image or a payload); false when it cannot be read.
bool read_file_bytes(const std::string& path, std::vector<std::uint8_t>& content);

} // namespace quorvel::ffu
