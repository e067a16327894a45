#include "core/zip_reader.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#ifndef QUORVEL_ZIP_FIXTURES_DIR
#error "QUORVEL_ZIP_FIXTURES_DIR must name the folder of the generated ZIP archives"
#endif

namespace quorvel {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
using Bytes = std::vector<unsigned char>;

const std::string kFixtures = QUORVEL_ZIP_FIXTURES_DIR;
const char kSep = static_cast<char>(fs::path::preferred_separator);

Bytes load(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Writes into a real folder the way the Windows layer does: a folder is created one level at a
// time, a file replaces any earlier content.
class FolderSink : public ZipSink {
public:
    bool make_dir(const Text& path) override {
        std::error_code ec;
        if (fs::is_directory(path, ec)) return true;
        return fs::create_directory(path, ec);
    }
    bool write_file(const Text& path, const unsigned char* data, size_t size) override {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        out.close();
        return !out.fail();
    }
};

// Records the calls and can refuse one of them.
class RecordingSink : public ZipSink {
public:
    explicit RecordingSink(int fail_at = -1) : fail_at_(fail_at) {}
    std::vector<std::string> calls;
    bool make_dir(const Text& path) override { return record("dir " + path); }
    bool write_file(const Text& path, const unsigned char*, size_t size) override {
        return record("file " + path + " " + std::to_string(size));
    }

private:
    bool record(const std::string& call) {
        calls.push_back(call);
        return static_cast<int>(calls.size()) - 1 != fail_at_;
    }
    int fail_at_;
};

// A fresh folder under the system's temporary directory, removed afterwards.
class ScratchFolder {
public:
    ScratchFolder() {
        static std::atomic<int> counter{0};
        std::random_device random;
        path_ = fs::temp_directory_path() /
                ("quorvel_zip_" + std::to_string(random()) + "_" + std::to_string(counter++));
        fs::create_directories(path_);
    }
    ~ScratchFolder() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

// Every file and folder below `root`, relative, '/'-separated, folders with a trailing '/'.
std::set<std::string> tree_of(const fs::path& root) {
    std::set<std::string> names;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        std::string name = fs::relative(e.path(), root).generic_string();
        if (e.is_directory()) name += '/';
        names.insert(name);
    }
    return names;
}

struct ManifestEntry {
    std::string name;
    uint16_t method;
    uint32_t crc32;
    uint32_t compressed_size;
    uint32_t size;
    std::string source; // below src/ in the fixture folder
};

// What Python's zipfile reads from the archive, written beside it by the fixture script.
std::vector<ManifestEntry> load_manifest(const std::string& archive) {
    std::ifstream in(kFixtures + archive + ".entries");
    std::vector<ManifestEntry> entries;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        ManifestEntry e;
        std::string crc;
        std::getline(fields, e.name, '\t');
        fields >> e.method >> crc >> e.compressed_size >> e.size;
        fields.ignore(1);
        std::getline(fields, e.source);
        e.crc32 = static_cast<uint32_t>(std::stoul(crc, nullptr, 16));
        entries.push_back(e);
    }
    return entries;
}

class GoodArchive : public ::testing::TestWithParam<const char*> {};

TEST_P(GoodArchive, DirectoryAgreesWithPythonsReader) {
    const Bytes zip = load(kFixtures + GetParam() + ".zip");
    const auto expected = load_manifest(GetParam());
    ASSERT_FALSE(expected.empty());
    std::vector<ZipEntry> entries;
    ASSERT_TRUE(read_zip_directory(zip.data(), zip.size(), entries));
    ASSERT_EQ(entries.size(), expected.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        SCOPED_TRACE(expected[i].name);
        EXPECT_EQ(entries[i].name, expected[i].name);
        EXPECT_EQ(entries[i].is_dir, expected[i].name.back() == '/');
        EXPECT_EQ(entries[i].method, expected[i].method);
        EXPECT_EQ(entries[i].crc32, expected[i].crc32);
        EXPECT_EQ(entries[i].compressed_size, expected[i].compressed_size);
        EXPECT_EQ(entries[i].size, expected[i].size);
    }
}

TEST_P(GoodArchive, UnpacksEveryEntryIntoARealFolder) {
    const Bytes zip = load(kFixtures + GetParam() + ".zip");
    const auto expected = load_manifest(GetParam());
    ScratchFolder scratch;
    const fs::path target = scratch.path() / "out";
    fs::create_directory(target);
    FolderSink sink;
    // Twice: the second run meets the folders and files of the first and must replace them.
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run);
        ASSERT_EQ(extract_zip(zip.data(), zip.size(), target.string() + kSep, kSep, sink), 1);
        std::set<std::string> names;
        for (const ManifestEntry& e : expected) {
            names.insert(e.name);
            if (e.name.back() == '/') continue;
            EXPECT_EQ(load(target / e.name), load(fs::path(kFixtures) / "src" / e.source))
                << e.name;
        }
        EXPECT_EQ(tree_of(target), names);
        EXPECT_EQ(tree_of(scratch.path()).size(), names.size() + 1) << "written beside the target";
    }
}

TEST_P(GoodArchive, EveryEntryReadsBackWithItsSize) {
    const Bytes zip = load(kFixtures + GetParam() + ".zip");
    std::vector<ZipEntry> entries;
    ASSERT_TRUE(read_zip_directory(zip.data(), zip.size(), entries));
    Bytes content;
    for (const ZipEntry& e : entries) {
        if (e.is_dir) continue;
        EXPECT_TRUE(read_zip_entry(zip.data(), zip.size(), e, content)) << e.name;
        EXPECT_EQ(content.size(), e.size) << e.name;
    }
}

// Info-ZIP with its Unix extra fields (default), without them (-X), stored (-0), and written to a
// pipe (data descriptors, local extra fields longer than the central ones); Python's zipfile with
// NTFS time stamps, folder entries and an empty deflated file.
INSTANTIATE_TEST_SUITE_P(Fixtures, GoodArchive,
                         ::testing::Values("infozip_default", "infozip_stored_X",
                                           "infozip_deflated_X", "infozip_stream", "python_mixed"));

TEST(ExtractZip, WritesInArchiveOrderBelowTheTarget) {
    const Bytes zip = load(kFixtures + "python_mixed.zip");
    RecordingSink sink;
    ASSERT_EQ(extract_zip(zip.data(), zip.size(), "C:\\Temp\\", '\\', sink), 1);
    const std::vector<std::string> expected = {
        "dir C:\\Temp\\pkg",
        "file C:\\Temp\\pkg\\lib.dll 96000",
        "dir C:\\Temp\\pkg\\sub",
        "file C:\\Temp\\pkg\\sub\\note.txt 14400",
        "file C:\\Temp\\pkg\\sub\\empty.txt 0",
        "file C:\\Temp\\pkg\\tool.exe 1620000",
    };
    EXPECT_EQ(sink.calls, expected);
}

TEST(ExtractZip, StopsAtTheFirstFailedWrite) {
    const Bytes zip = load(kFixtures + "python_mixed.zip");
    for (int fail_at = 0; fail_at < 6; ++fail_at) {
        RecordingSink sink(fail_at);
        EXPECT_EQ(extract_zip(zip.data(), zip.size(), "T/", '/', sink), -1) << fail_at;
        EXPECT_EQ(sink.calls.size(), static_cast<size_t>(fail_at) + 1) << fail_at;
    }
}

class BrokenArchive : public ::testing::TestWithParam<const char*> {};

// Nothing may be written at all: not outside the target, and not the harmless entries that come
// before the damage either.
TEST_P(BrokenArchive, IsRefusedAndWritesNothing) {
    const Bytes zip = load(kFixtures + "broken/" + GetParam() + ".zip");
    if (std::string(GetParam()) != "empty") {
        ASSERT_FALSE(zip.empty()) << "fixture missing";
    }
    ScratchFolder scratch;
    const fs::path target = scratch.path() / "out";
    fs::create_directory(target);
    FolderSink sink;
    EXPECT_EQ(extract_zip(zip.data(), zip.size(), target.string() + kSep, kSep, sink), -1);
    EXPECT_EQ(tree_of(scratch.path()), std::set<std::string>{"out/"});

    RecordingSink recorder;
    EXPECT_EQ(extract_zip(zip.data(), zip.size(), "T/", '/', recorder), -1);
    EXPECT_TRUE(recorder.calls.empty());
}

INSTANTIATE_TEST_SUITE_P(Damaged, BrokenArchive,
                         ::testing::Values("empty", "not_a_zip", "truncated_half",
                                           "truncated_end_record", "truncated_central", "bad_crc",
                                           "bad_crc_stored", "bad_deflate_data", "size_too_big",
                                           "size_too_small", "size_huge", "compressed_size_outside",
                                           "local_offset_outside", "local_offset_wrong",
                                           "local_name_differs", "local_method_differs",
                                           "central_offset_outside", "central_size_outside",
                                           "entry_count_too_high", "split_archive",
                                           "folder_with_data", "stored_sizes_differ"));

// Made by Info-ZIP with options the reader does not support: -P, -Z bzip2, -fz.
INSTANTIATE_TEST_SUITE_P(Unsupported, BrokenArchive,
                         ::testing::Values("unknown_method", "encrypted_flag", "infozip_encrypted",
                                           "infozip_bzip2", "infozip_zip64"));

INSTANTIATE_TEST_SUITE_P(UnsafeNames, BrokenArchive,
                         ::testing::Values("name_parent", "name_parent_inner",
                                           "name_parent_backslash", "name_parent_mixed",
                                           "name_parent_trailing_dot", "name_parent_trailing_space",
                                           "name_absolute", "name_absolute_backslash",
                                           "name_drive_backslash", "name_drive_slash",
                                           "name_drive_relative", "name_stream", "name_nul",
                                           "name_empty"));

TEST(ExtractZip, RefusesATruncatedArchiveAtEveryLength) {
    // Cutting anywhere loses the end record or leaves offsets pointing past the end.
    const Bytes zip = load(kFixtures + "python_mixed.zip");
    ASSERT_FALSE(zip.empty());
    for (size_t cut = 0; cut < zip.size(); cut += zip.size() / 97 + 1) {
        RecordingSink sink;
        EXPECT_EQ(extract_zip(zip.data(), cut, "T/", '/', sink), -1) << cut;
        EXPECT_TRUE(sink.calls.empty()) << cut;
    }
}

struct NameCase {
    Text name;
    bool safe;
};

class ZipName : public ::testing::TestWithParam<NameCase> {};

TEST_P(ZipName, StaysInsideTheTarget) {
    EXPECT_EQ(is_safe_zip_name(GetParam().name), GetParam().safe) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ZipName,
    ::testing::Values(NameCase{"ffutool/", true}, NameCase{"ffutool/ffutool.exe", true},
                      NameCase{"a..b/c", true}, NameCase{"..a", true}, NameCase{"a/b..", true},
                      NameCase{".hidden", true}, NameCase{"\xD6\xD0\xCE\xC4/x.txt", true},
                      NameCase{"\x95\x5C/x.txt", true}, NameCase{"", false}, NameCase{"..", false},
                      NameCase{"../x", false}, NameCase{"a/..", false}, NameCase{"a/../b", false},
                      NameCase{"a\\..\\b", false}, NameCase{"./a", false},
                      NameCase{"a/... /b", false}, NameCase{"/x", false}, NameCase{"\\x", false},
                      NameCase{"C:\\x", false}, NameCase{"c:/x", false}, NameCase{"C:x", false},
                      NameCase{"a/b.txt:stream", false}, NameCase{"a\0b"s, false}));

struct PathCase {
    Text target, name;
    char separator;
    Text expected;
};

class ZipOutputPath : public ::testing::TestWithParam<PathCase> {};

TEST_P(ZipOutputPath, JoinsTargetAndName) {
    const PathCase& c = GetParam();
    EXPECT_EQ(zip_output_path(c.target, c.name, c.separator), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ZipOutputPath,
    ::testing::Values(PathCase{"C:\\Temp\\", "ffutool/", '\\', "C:\\Temp\\ffutool"},
                      PathCase{"C:\\Temp\\", "ffutool/ffutool.exe", '\\',
                               "C:\\Temp\\ffutool\\ffutool.exe"},
                      PathCase{"C:\\Temp", "a/b", '\\', "C:\\Temp\\a\\b"},
                      PathCase{"C:/Temp/", "a/b", '\\', "C:/Temp/a\\b"},
                      PathCase{"/tmp/x/", "a/b/", '/', "/tmp/x/a/b"},
                      PathCase{"/tmp/x", "a", '/', "/tmp/x/a"},
                      // The last character's trail byte is 0x5C: still no separator at the end.
                      PathCase{"C:\\\x95\x5C", "a", '\\', "C:\\\x95\x5C\\a"},
                      PathCase{"C:\\\x95\x5C\\", "a", '\\', "C:\\\x95\x5C\\a"}));

} // namespace
} // namespace quorvel
