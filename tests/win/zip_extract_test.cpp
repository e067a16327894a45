#include "win/folder_delete.hpp"
#include "win/zip_extract.hpp"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include <windows.h>

#ifndef QUORVEL_ZIP_FIXTURES_DIR
#error "QUORVEL_ZIP_FIXTURES_DIR must name the folder of the generated ZIP archives"
#endif

namespace quorvel {
namespace {

// The archives and the files they were made from, in the Windows form of the path.
const Text kFixtures = QUORVEL_ZIP_FIXTURES_DIR;

bool exists(const Text& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool is_folder(const Text& path) {
    const DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

Text read_file(const Text& path) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return "<cannot open " + path + ">";
    Text content;
    char buf[65536];
    DWORD got = 0;
    while (ReadFile(h, buf, sizeof buf, &got, nullptr) && got > 0)
        content.append(buf, got);
    CloseHandle(h);
    return content;
}

bool write_file(const Text& path, const Text& content, DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
    HANDLE h =
        CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, attributes, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD wrote = 0;
    const bool ok =
        WriteFile(h, content.data(), static_cast<DWORD>(content.size()), &wrote, nullptr) &&
        wrote == content.size();
    return CloseHandle(h) && ok;
}

// Names in a folder, without "." and "..".
std::vector<Text> list_folder(const Text& folder) {
    std::vector<Text> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        const Text name = found.cFileName;
        if (name != "." && name != "..") names.push_back(name);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
}

// A fresh folder in the temporary directory, deleted afterwards. Its path has no trailing
// backslash.
class Scratch : public ::testing::Test {
protected:
    void SetUp() override {
        char temp[MAX_PATH];
        ASSERT_GT(GetTempPathA(MAX_PATH, temp), 0u);
        char name[MAX_PATH];
        ASSERT_NE(GetTempFileNameA(temp, "qzx", 0, name), 0u);
        DeleteFileA(name); // the unique name is used for a folder instead
        dir_ = name;
        ASSERT_TRUE(CreateDirectoryA(dir_.c_str(), nullptr));
    }
    void TearDown() override {
        if (!dir_.empty() && exists(dir_)) delete_folder_tree(dir_);
    }
    Text dir_;
};

// Entries of python_mixed.zip (made by Python's zipfile, NTFS time stamps in the extra fields)
// and the source file each holds.
const std::vector<std::pair<Text, Text>> kPythonFiles = {
    {"pkg\\lib.dll", "tool\\bin\\mixed.bin"},
    {"pkg\\sub\\note.txt", "tool\\readme.txt"},
    {"pkg\\sub\\empty.txt", "tool\\empty.txt"},
    {"pkg\\tool.exe", "tool\\bin\\big.dat"},
};

class ZipExtract : public Scratch {
protected:
    Text archive(const char* name) const { return kFixtures + name + ".zip"; }
    void expect_python_files(const Text& target) const {
        EXPECT_TRUE(is_folder(target + "pkg"));
        EXPECT_TRUE(is_folder(target + "pkg\\sub"));
        for (const auto& [entry, source] : kPythonFiles) {
            const Text expected = read_file(kFixtures + "src\\" + source);
            EXPECT_EQ(read_file(target + entry), expected) << entry;
        }
    }
};

TEST_F(ZipExtract, UnpacksIntoATargetItCreates) {
    const Text target = dir_ + "\\out\\";
    ASSERT_EQ(zip_extract(archive("python_mixed"), target), 1);
    expect_python_files(target);
    EXPECT_EQ(list_folder(dir_), std::vector<Text>{"out"});
}

TEST_F(ZipExtract, UnpacksInfoZipArchives) {
    for (const char* name : {"infozip_default", "infozip_stored_X", "infozip_stream"}) {
        SCOPED_TRACE(name);
        const Text target = dir_ + "\\" + name + "\\";
        ASSERT_EQ(zip_extract(archive(name), target), 1);
        for (const char* file : {"tool\\readme.txt", "tool\\empty.txt", "tool\\bin\\big.dat",
                                 "tool\\bin\\mixed.bin", "tool\\bin\\noise.bin"})
            EXPECT_EQ(read_file(target + file), read_file(kFixtures + "src\\" + file)) << file;
    }
}

// The program's own paths double the backslash after the temporary directory.
TEST_F(ZipExtract, AcceptsADoubledBackslash) {
    ASSERT_TRUE(CreateDirectoryA((dir_ + "\\t").c_str(), nullptr));
    const Text target = dir_ + "\\t\\";
    ASSERT_EQ(zip_extract(archive("python_mixed"), target + "\\"), 1);
    expect_python_files(target);
}

TEST_F(ZipExtract, MissingArchiveFailsBeforeTheTargetIsCreated) {
    const Text target = dir_ + "\\out\\";
    EXPECT_EQ(zip_extract(dir_ + "\\absent.zip", target), -1);
    EXPECT_FALSE(exists(target));
}

TEST_F(ZipExtract, CreatesOneLevelOfTargetOnly) {
    EXPECT_EQ(zip_extract(archive("python_mixed"), dir_ + "\\a\\b\\"), -1);
    EXPECT_TRUE(list_folder(dir_).empty());
}

TEST_F(ZipExtract, FailsWhenTheTargetIsAFile) {
    ASSERT_TRUE(write_file(dir_ + "\\out", "a file"));
    EXPECT_EQ(zip_extract(archive("python_mixed"), dir_ + "\\out\\"), -1);
    EXPECT_EQ(read_file(dir_ + "\\out"), "a file");
}

TEST_F(ZipExtract, RefusesBrokenArchivesWritingNothing) {
    for (const char* name :
         {"not_a_zip", "truncated_half", "bad_crc", "name_parent", "name_drive_backslash",
          "name_absolute_backslash", "infozip_encrypted"}) {
        SCOPED_TRACE(name);
        const Text target = dir_ + "\\" + name;
        EXPECT_EQ(zip_extract(kFixtures + "broken\\" + name + ".zip", target + "\\"), -1);
        // The target is created before the archive is read; nothing else may appear.
        EXPECT_TRUE(is_folder(target));
        EXPECT_TRUE(list_folder(target).empty());
    }
    EXPECT_EQ(list_folder(dir_).size(), 7u);
}

TEST_F(ZipExtract, ReplacesReadOnlyAndHiddenFiles) {
    const Text target = dir_ + "\\";
    ASSERT_EQ(zip_extract(archive("python_mixed"), target), 1);
    const Text note = target + "pkg\\sub\\note.txt";
    const Text old(100000, 'x'); // longer than the entry: the file must be cut, not overlaid
    ASSERT_TRUE(SetFileAttributesA(note.c_str(), FILE_ATTRIBUTE_NORMAL));
    ASSERT_TRUE(write_file(note, old));
    ASSERT_TRUE(SetFileAttributesA(note.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    const Text lib = target + "pkg\\lib.dll";
    ASSERT_TRUE(SetFileAttributesA(lib.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM));

    ASSERT_EQ(zip_extract(archive("python_mixed"), target), 1);
    expect_python_files(target);
    for (const Text& path : {note, lib}) {
        const DWORD a = GetFileAttributesA(path.c_str());
        EXPECT_EQ(a & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM), 0u)
            << path;
    }
}

TEST_F(ZipExtract, FailsWhileAFileIsHeldOpenWithoutSharing) {
    const Text target = dir_ + "\\";
    ASSERT_EQ(zip_extract(archive("python_mixed"), target), 1);
    const Text tool = target + "pkg\\tool.exe";
    HANDLE held = CreateFileA(tool.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(zip_extract(archive("python_mixed"), target), -1);
    CloseHandle(held);
    EXPECT_EQ(zip_extract(archive("python_mixed"), target), 1);
    expect_python_files(target);
}

TEST_F(ZipExtract, FailsWhenAFileStandsWhereAFolderGoes) {
    const Text target = dir_ + "\\";
    ASSERT_TRUE(write_file(target + "pkg", "in the way"));
    EXPECT_EQ(zip_extract(archive("python_mixed"), target), -1);
    EXPECT_EQ(read_file(target + "pkg"), "in the way");
}

class DeleteFolderTree : public Scratch {};

TEST_F(DeleteFolderTree, RemovesNestedFoldersAndReadOnlyFiles) {
    const Text root = dir_ + "\\tree";
    for (const char* sub : {"", "\\sub", "\\sub\\deeper", "\\empty", "\\locked"})
        ASSERT_TRUE(CreateDirectoryA((root + sub).c_str(), nullptr)) << sub;
    ASSERT_TRUE(write_file(root + "\\a.txt", "a", FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(write_file(root + "\\sub\\b.txt", "b"));
    ASSERT_TRUE(write_file(root + "\\sub\\deeper\\c.txt", "c",
                           FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(write_file(root + "\\locked\\d.txt", "d", FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(SetFileAttributesA((root + "\\locked").c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(write_file(dir_ + "\\beside.txt", "stays"));

    EXPECT_TRUE(delete_folder_tree(root));
    EXPECT_FALSE(exists(root));
    EXPECT_EQ(read_file(dir_ + "\\beside.txt"), "stays");
}

TEST_F(DeleteFolderTree, TakesThePathFormsTheProgramUses) {
    // Leading spaces, a doubled backslash after the temporary directory, a trailing backslash.
    const std::vector<std::pair<Text, Text>> cases = {
        {"   " + dir_ + "\\one", dir_ + "\\one"},
        {dir_ + "\\\\two", dir_ + "\\two"},
        {dir_ + "\\three\\", dir_ + "\\three"},
    };
    for (const auto& [path, folder] : cases) {
        ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr)) << folder;
        ASSERT_TRUE(write_file(folder + "\\f.txt", "f", FILE_ATTRIBUTE_READONLY));
        EXPECT_TRUE(delete_folder_tree(path)) << path;
        EXPECT_FALSE(exists(folder)) << path;
    }
}

TEST_F(DeleteFolderTree, FailsOnAMissingFolderOrAFile) {
    EXPECT_FALSE(delete_folder_tree(dir_ + "\\absent"));
    ASSERT_TRUE(write_file(dir_ + "\\file", "f"));
    EXPECT_FALSE(delete_folder_tree(dir_ + "\\file"));
    EXPECT_TRUE(exists(dir_ + "\\file"));
}

TEST_F(DeleteFolderTree, FailsButDeletesTheRestWhileAFileIsHeldOpen) {
    const Text root = dir_ + "\\tree";
    ASSERT_TRUE(CreateDirectoryA(root.c_str(), nullptr));
    ASSERT_TRUE(write_file(root + "\\held.txt", "h"));
    ASSERT_TRUE(write_file(root + "\\free.txt", "f"));
    HANDLE held = CreateFileA((root + "\\held.txt").c_str(), GENERIC_READ, 0, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(delete_folder_tree(root));
    CloseHandle(held);
    EXPECT_EQ(list_folder(root), std::vector<Text>{"held.txt"});
}

// Only the empty forms are tried for real: a drive's root refused wrongly would cost the drive.
// The root forms are covered by the rule's own tests. The scratch folder is made current so that
// a wrong answer could only reach it.
TEST_F(DeleteFolderTree, RefusesAnEmptyPath) {
    ASSERT_TRUE(write_file(dir_ + "\\canary.txt", "alive"));
    char previous[MAX_PATH];
    ASSERT_GT(GetCurrentDirectoryA(MAX_PATH, previous), 0u);
    ASSERT_TRUE(SetCurrentDirectoryA(dir_.c_str()));
    bool refused_empty = false;
    bool refused_spaces = false;
    EXPECT_NO_THROW({
        refused_empty = !delete_folder_tree("");
        refused_spaces = !delete_folder_tree("    ");
    });
    SetCurrentDirectoryA(previous);
    EXPECT_TRUE(refused_empty);
    EXPECT_TRUE(refused_spaces);
    EXPECT_EQ(read_file(dir_ + "\\canary.txt"), "alive");
}

// What the start-up does: remove the tool folder left by an earlier run, then unpack afresh.
TEST_F(DeleteFolderTree, ClearsAnEarlierUnpackingForAFreshOne) {
    const Text temp = dir_ + "\\";
    ASSERT_EQ(zip_extract(kFixtures + "python_mixed.zip", temp), 1);
    ASSERT_TRUE(
        write_file(temp + "pkg\\stale.txt", "from an earlier run", FILE_ATTRIBUTE_READONLY));
    EXPECT_TRUE(delete_folder_tree(temp + "\\pkg"));
    EXPECT_FALSE(exists(temp + "pkg"));
    ASSERT_EQ(zip_extract(kFixtures + "python_mixed.zip", temp), 1);
    EXPECT_FALSE(exists(temp + "pkg\\stale.txt"));
    EXPECT_TRUE(exists(temp + "pkg\\tool.exe"));
}

} // namespace
} // namespace quorvel
