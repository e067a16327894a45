// FFU images: the writer's output read back, and broken images each refused with their own error.
#include "ffu/ffu_format.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace quorvel::ffu {
namespace {

constexpr const char* platform = "Contoso.TST7.Handset";
constexpr std::uint32_t chunk_kb = 16;
constexpr std::uint32_t block = chunk_kb * 1024;
constexpr std::uint64_t storage = 64 * block;

std::vector<std::uint8_t> pattern(std::size_t size, std::uint8_t seed) {
    std::vector<std::uint8_t> out(size);
    for (std::size_t i = 0; i < size; ++i)
        out[i] = static_cast<std::uint8_t>(seed + i * 7 + (i >> 9));
    return out;
}

// Three blocks to the start of the disk (one of them twice), two to its end.
ImageSpec sample_spec() {
    ImageSpec plan;
    plan.platform_id = platform;
    plan.chunk_kb = chunk_kb;
    plan.descriptors = {{3, {{DiskAccess::from_start, 0}, {DiskAccess::from_start, 10}}},
                        {2, {{DiskAccess::from_end, 1}}}};
    plan.payload = pattern(5 * block, 3);
    return plan;
}

const Device device{storage, platform};

void put32(std::vector<std::uint8_t>& image, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        image[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// Offsets in the sample image, found from its headers as a reader would.
struct Layout {
    std::size_t image_header, store, payload;
};

Layout layout_of(const std::vector<std::uint8_t>& image) {
    const ReadResult r = read_image(image, device);
    EXPECT_TRUE(r.ok()) << error_text(r.error) << ": " << r.detail;
    const std::size_t payload = static_cast<std::size_t>(r.image.payload_offset);
    const std::size_t store = payload - block; // the store's descriptors fit one chunk
    return {store - block, store, payload};
}

TEST(Sha256, KnownVectors) {
    EXPECT_EQ(to_hex(sha256({})),
              "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    const std::string abc = "abc";
    EXPECT_EQ(to_hex(sha256({reinterpret_cast<const std::uint8_t*>(abc.data()), abc.size()})),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    // Two blocks of padding, and the same text fed in uneven pieces.
    const std::string two = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
    Sha256 h;
    for (std::size_t i = 0; i < two.size(); i += 5)
        h.update(two.data() + i, std::min<std::size_t>(5, two.size() - i));
    EXPECT_EQ(to_hex(h.finish()),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
}

TEST(FfuImage, WrittenImageReadsBack) {
    const ImageSpec plan = sample_spec();
    const std::vector<std::uint8_t> image = write_image(plan);
    ASSERT_EQ(image.size() % block, 0u);
    ASSERT_EQ(std::string(image.begin() + 4, image.begin() + 16), "SignedImage ");

    const ReadResult r = read_image(image, device);
    ASSERT_TRUE(r.ok()) << error_text(r.error) << ": " << r.detail;
    EXPECT_EQ(r.image.platform_id, platform);
    EXPECT_EQ(r.image.block_size, block);
    EXPECT_EQ(r.image.chunk_size, block);
    EXPECT_EQ(r.image.descriptors, plan.descriptors);
    EXPECT_EQ(r.image.block_total, 5u);
    EXPECT_EQ(r.image.payload_offset + plan.payload.size(), image.size());
    EXPECT_TRUE(std::equal(plan.payload.begin(), plan.payload.end(),
                           image.begin() + static_cast<std::ptrdiff_t>(r.image.payload_offset)));
    EXPECT_NE(r.image.manifest.find("DevicePlatformId0 = Contoso.TST7.Handset"), std::string::npos)
        << r.image.manifest;
    // Blocks 10..12 from the start are the furthest write: 13 blocks of 32 sectors.
    EXPECT_NE(r.image.manifest.find("MinSectorCount = 416"), std::string::npos) << r.image.manifest;
}

TEST(FfuImage, WriterRefusesInconsistentSpecs) {
    ImageSpec short_payload = sample_spec();
    short_payload.payload.pop_back();
    EXPECT_THROW(write_image(short_payload), std::invalid_argument);
    ImageSpec odd_chunk = sample_spec();
    odd_chunk.chunk_kb = 24;
    EXPECT_THROW(write_image(odd_chunk), std::invalid_argument);
}

TEST(FfuImage, LocationsMapToDiskOffsets) {
    std::uint64_t offset = 0;
    ASSERT_TRUE(location_offset({DiskAccess::from_start, 3}, 2, block, storage, offset));
    EXPECT_EQ(offset, 3u * block);
    ASSERT_TRUE(location_offset({DiskAccess::from_end, 0}, 1, block, storage, offset));
    EXPECT_EQ(offset, storage - block);
    ASSERT_TRUE(location_offset({DiskAccess::from_end, 1}, 2, block, storage, offset));
    EXPECT_EQ(offset, storage - 2 * block);
    EXPECT_TRUE(location_offset({DiskAccess::from_start, 62}, 2, block, storage, offset));
    EXPECT_FALSE(location_offset({DiskAccess::from_start, 63}, 2, block, storage, offset));
    EXPECT_FALSE(location_offset({DiskAccess::from_end, 0}, 2, block, storage, offset));
    EXPECT_FALSE(location_offset({DiskAccess::from_end, 64}, 1, block, storage, offset));
    EXPECT_FALSE(
        location_offset(Location{static_cast<DiskAccess>(1), 0}, 1, block, storage, offset));
}

struct BrokenCase {
    const char* name;
    std::function<void(std::vector<std::uint8_t>&, const Layout&)> breakit;
    Error expected;
};

TEST(FfuImage, BrokenImagesAreRefusedEachWithItsOwnError) {
    const std::vector<std::uint8_t> good = write_image(sample_spec());
    const Layout at = layout_of(good);
    const BrokenCase cases[] = {
        {"security signature", [](auto& f, auto&) { f[4] = 's'; }, Error::invalid_security_header},
        {"security header size", [](auto& f, auto&) { put32(f, 0, 33); },
         Error::invalid_security_header},
        {"image signature", [](auto& f, auto& l) { f[l.image_header + 15] = '_'; },
         Error::invalid_image_header},
        {"image header size", [](auto& f, auto& l) { put32(f, l.image_header, 20); },
         Error::invalid_image_header},
        {"chunk size not a power of two", [](auto& f, auto&) { put32(f, 16, 24); },
         Error::bad_chunk_size},
        {"chunk size zero", [](auto& f, auto&) { put32(f, 16, 0); }, Error::bad_chunk_size},
        {"image header chunk size", [](auto& f, auto& l) { put32(f, l.image_header + 20, 32); },
         Error::bad_chunk_size},
        {"block size not the chunk size", [](auto& f, auto& l) { put32(f, l.store + 0xCC, 512); },
         Error::misaligned_block_size},
        {"store version 2.0", [](auto& f, auto& l) { f[l.store + 4] = 2; },
         Error::unsupported_version},
        {"full flash version 3.0", [](auto& f, auto& l) { f[l.store + 8] = 3; },
         Error::unsupported_version},
        {"descriptor length too long", [](auto& f, auto& l) { put32(f, l.store + 0xD4, 48); },
         Error::bad_descriptors},
        {"descriptor length too short", [](auto& f, auto& l) { put32(f, l.store + 0xD4, 24); },
         Error::bad_descriptors},
        {"location count past the descriptors",
         [](auto& f, auto& l) { put32(f, l.store + 248 + 24, 9); }, Error::bad_descriptors},
        {"block count past the file", [](auto& f, auto& l) { put32(f, l.store + 248 + 4, 4); },
         Error::unexpected_end},
        {"extra bytes after the payload", [](auto& f, auto&) { f.push_back(0); },
         Error::trailing_data},
        {"hash table one entry short", [](auto& f, auto&) { put32(f, 28, 32 * 6); },
         Error::bad_hash_table},
        {"from start beyond storage", [](auto& f, auto& l) { put32(f, l.store + 248 + 20, 62); },
         Error::location_beyond_storage},
        {"from end beyond storage", [](auto& f, auto& l) { put32(f, l.store + 248 + 36, 64); },
         Error::location_beyond_storage},
        {"from end runs past the disk", [](auto& f, auto& l) { put32(f, l.store + 248 + 36, 0); },
         Error::location_beyond_storage},
        {"payload byte flipped", [](auto& f, auto& l) { f[l.payload + 3 * block + 77] ^= 1; },
         Error::hash_mismatch},
        {"manifest byte flipped", [](auto& f, auto& l) { f[l.image_header + 30] ^= 1; },
         Error::hash_mismatch},
        {"platform id edited after hashing",
         [](auto& f, auto& l) { std::memcpy(&f[l.store + 12], "Contoso.TST8", 12); },
         Error::hash_mismatch},
    };
    for (const BrokenCase& c : cases) {
        std::vector<std::uint8_t> image = good;
        c.breakit(image, at);
        const ReadResult r = read_image(image, device);
        EXPECT_EQ(r.error, c.expected)
            << c.name << ": got " << error_text(r.error) << " (" << r.detail << ")";
    }
}

TEST(FfuImage, TruncatedFilesEndTheStream) {
    const std::vector<std::uint8_t> good = write_image(sample_spec());
    const Layout at = layout_of(good);
    for (std::size_t cut :
         {std::size_t{0}, std::size_t{31}, std::size_t{100}, at.image_header + 10,
          at.image_header + 100, at.store + 100, at.store + 260, at.payload, good.size() - 1}) {
        const std::vector<std::uint8_t> image(good.begin(),
                                              good.begin() + static_cast<std::ptrdiff_t>(cut));
        const ReadResult r = read_image(image, device);
        EXPECT_EQ(r.error, Error::unexpected_end)
            << "cut at " << cut << ": got " << error_text(r.error) << " (" << r.detail << ")";
        EXPECT_STREQ(error_text(r.error), "unexpected end of stream");
    }
}

TEST(FfuImage, ImageIsCheckedAgainstTheDevice) {
    const std::vector<std::uint8_t> image = write_image(sample_spec());
    const ReadResult other = read_image(image, {storage, "Contoso.TST8.Handset"});
    EXPECT_EQ(other.error, Error::platform_mismatch);
    EXPECT_STREQ(error_text(other.error), "platform mismatch");
    // Thirteen blocks are written from the start: a twelve-block disk cannot hold them.
    EXPECT_EQ(read_image(image, {12 * block, platform}).error, Error::location_beyond_storage);
    EXPECT_TRUE(read_image(image, {13 * block, platform}).ok());
}

} // namespace
} // namespace quorvel::ffu
