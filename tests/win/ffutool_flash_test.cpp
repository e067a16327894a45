// The stand-in flashing tool's flash command, run through cmd.exe as the program runs it: the
// image's blocks land in the simulated handset's storage file, and the output ends with a line
// break exactly when the flash succeeded.
#include "ffu/ffu_format.hpp"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quorvel {
namespace {

using namespace quorvel::ffu;

const std::string tool_dir = QUORVEL_TEST_FFUTOOL_DIR;
constexpr const char* platform = "Contoso.TST7.Handset";
constexpr std::uint32_t block = 16 * 1024;
constexpr std::uint64_t storage_bytes = 64 * block;

struct RunResult {
    DWORD exit_code = 0;
    std::string output;
    DWORD longest_silence_ms = 0; // between two pieces of output
    std::string before_silence;   // everything read before that silence
};

std::string upper(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// This process's environment with QUORVEL_HANDSET set or removed, sorted as Windows keeps it.
std::string environment_with_handset(const std::optional<std::string>& folder) {
    std::vector<std::string> entries;
    char* env = GetEnvironmentStringsA();
    for (const char* p = env; *p; p += std::strlen(p) + 1)
        entries.emplace_back(p);
    FreeEnvironmentStringsA(env);
    auto name_of = [](const std::string& e) { return upper(e.substr(0, e.find('=', 1))); };
    std::erase_if(entries, [&](const std::string& e) { return name_of(e) == "QUORVEL_HANDSET"; });
    if (folder) entries.push_back("QUORVEL_HANDSET=" + *folder);
    std::sort(entries.begin(), entries.end(),
              [&](const std::string& a, const std::string& b) { return name_of(a) < name_of(b); });
    std::string result;
    for (const std::string& e : entries)
        result += e + '\0';
    return result + '\0';
}

// Runs the command with its output into a pipe, noting the longest pause in the output.
RunResult run(const std::string& command_line, const std::optional<std::string>& handset) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE read_end = nullptr;
    HANDLE write_end = nullptr;
    EXPECT_TRUE(CreatePipe(&read_end, &write_end, &inherit, 0));
    SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
    HANDLE nul = CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                             OPEN_EXISTING, 0, nullptr);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    startup.hStdInput = nul;
    startup.hStdOutput = write_end;
    startup.hStdError = write_end;
    PROCESS_INFORMATION process{};
    std::string environment = environment_with_handset(handset);
    std::string line = command_line;
    const BOOL created =
        CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                       environment.data(), nullptr, &startup, &process);
    CloseHandle(write_end);
    CloseHandle(nul);
    RunResult result;
    if (!created) {
        ADD_FAILURE() << "cannot start " << command_line << ": error " << GetLastError();
        CloseHandle(read_end);
        return result;
    }
    char buffer[4096];
    DWORD n = 0;
    ULONGLONG last = GetTickCount64();
    while (ReadFile(read_end, buffer, sizeof buffer, &n, nullptr) && n > 0) {
        const ULONGLONG now = GetTickCount64();
        if (!result.output.empty() && now - last > result.longest_silence_ms) {
            result.longest_silence_ms = static_cast<DWORD>(now - last);
            result.before_silence = result.output;
        }
        last = now;
        result.output.append(buffer, n);
    }
    CloseHandle(read_end);
    WaitForSingleObject(process.hProcess, INFINITE);
    GetExitCodeProcess(process.hProcess, &result.exit_code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return result;
}

std::string read_file(const std::string& path) {
    std::string content;
    HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return content;
    char buffer[65536];
    DWORD n = 0;
    while (ReadFile(f, buffer, sizeof buffer, &n, nullptr) && n > 0)
        content.append(buffer, n);
    CloseHandle(f);
    return content;
}

void write_file(const std::string& path, const void* data, std::size_t size) {
    HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE) << path;
    DWORD written = 0;
    WriteFile(f, data, static_cast<DWORD>(size), &written, nullptr);
    CloseHandle(f);
    ASSERT_EQ(written, size) << path;
}

void write_file(const std::string& path, const std::string& text) {
    write_file(path, text.data(), text.size());
}

void remove_tree(const std::string& folder) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = found.cFileName;
            if (name == "." || name == "..") continue;
            const std::string path = folder + "\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                remove_tree(path);
            else
                DeleteFileA(path.c_str());
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(folder.c_str());
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

bool ends_with_line_break(const std::string& text) {
    return !text.empty() && (text.back() == '\n' || text.back() == '\r');
}

std::string handset_ini(const std::string& extra) {
    return "[handset]\r\nname=Test Handset 7\r\nunique_id=0F1E2D3C\r\nplatform_id=" +
           std::string(platform) + "\r\nstorage_bytes=" + std::to_string(storage_bytes) + "\r\n" +
           extra;
}

// Each block filled with its own number, so a block in the wrong place shows.
std::vector<std::uint8_t> numbered_blocks(std::uint32_t count) {
    std::vector<std::uint8_t> payload(std::size_t{count} * block);
    for (std::uint32_t b = 0; b < count; ++b)
        for (std::uint32_t i = 0; i < block; ++i)
            payload[std::size_t{b} * block + i] = static_cast<std::uint8_t>(0x40 + b + (i % 3));
    return payload;
}

class FfutoolFlashTest : public ::testing::Test {
protected:
    void SetUp() override {
        char temp[MAX_PATH];
        ASSERT_GT(GetTempPathA(MAX_PATH, temp), 0u);
        char name[MAX_PATH];
        ASSERT_NE(GetTempFileNameA(temp, "ffl", 0, name), 0u);
        DeleteFileA(name);
        ASSERT_TRUE(CreateDirectoryA(name, nullptr));
        // The flash command names the tool without quotes, so no spaces in the path.
        char short_name[MAX_PATH];
        const DWORD n = GetShortPathNameA(name, short_name, MAX_PATH);
        root = (n > 0 && n < MAX_PATH) ? short_name : name;
        tool = root + "\\ffutool";
        ASSERT_TRUE(CreateDirectoryA(tool.c_str(), nullptr));
        for (const char* file : {"ffutool.exe", "ffucomponents.dll"})
            ASSERT_TRUE(
                CopyFileA((tool_dir + "\\" + file).c_str(), (tool + "\\" + file).c_str(), FALSE))
                << tool_dir << "\\" << file;
        handset = root + "\\handset";
        ASSERT_TRUE(CreateDirectoryA(handset.c_str(), nullptr));
        write_file(handset + "\\handset.ini", handset_ini(""));
        image_path = root + "\\firmware image.ffu";
    }

    void TearDown() override {
        if (!root.empty()) remove_tree(root);
    }

    void write_image_file(const ImageSpec& plan) {
        const std::vector<std::uint8_t> image = write_image(plan);
        write_file(image_path, image.data(), image.size());
    }

    // As the program writes it into the interpreter: tool path bare, image path quoted.
    RunResult flash(const std::optional<std::string>& handset_folder) {
        return run("cmd /c " + tool + "\\ffutool.exe -uefiflash \"" + image_path + "\"",
                   handset_folder);
    }

    std::string root, tool, handset, image_path;
};

// Blocks 0-2 go to the start of the disk and again at block 20, blocks 3-4 to the last two
// blocks of the disk, and block 5 then overwrites block 1.
ImageSpec both_methods_spec() {
    ImageSpec plan;
    plan.platform_id = platform;
    plan.chunk_kb = block / 1024;
    plan.descriptors = {{3, {{DiskAccess::from_start, 0}, {DiskAccess::from_start, 20}}},
                        {2, {{DiskAccess::from_end, 1}}},
                        {1, {{DiskAccess::from_start, 1}}}};
    plan.payload = numbered_blocks(6);
    return plan;
}

TEST_F(FfutoolFlashTest, FlashWritesTheBlocksWhereTheDescriptorsSay) {
    const ImageSpec plan = both_methods_spec();
    write_image_file(plan);
    const RunResult r = flash(handset);
    EXPECT_EQ(r.exit_code, 0u) << r.output;
    EXPECT_TRUE(r.output.ends_with("\r\n")) << r.output;
    EXPECT_TRUE(contains(r.output, "Progress: 100%")) << r.output;
    EXPECT_TRUE(contains(r.output, "Flash completed: 147456 bytes")) << r.output;
    EXPECT_FALSE(contains(r.output, ">")) << r.output;

    const std::string disk = read_file(handset + "\\storage.bin");
    ASSERT_EQ(disk.size(), storage_bytes);
    auto payload_block = [&](std::size_t b) {
        return std::string(plan.payload.begin() + static_cast<std::ptrdiff_t>(b * block),
                           plan.payload.begin() + static_cast<std::ptrdiff_t>((b + 1) * block));
    };
    auto disk_block = [&](std::uint64_t b) { return disk.substr(b * block, block); };
    const std::string zeros(block, '\0');
    const std::pair<std::uint64_t, std::string> expected[] = {
        {0, payload_block(0)},
        {1, payload_block(5)},
        {2, payload_block(2)},
        {3, zeros},
        {20, payload_block(0)},
        {21, payload_block(1)},
        {22, payload_block(2)},
        {23, zeros},
        {61, zeros},
        {62, payload_block(3)},
        {63, payload_block(4)},
    };
    for (const auto& [disk_index, content] : expected)
        EXPECT_TRUE(disk_block(disk_index) == content) << "disk block " << disk_index;
}

TEST_F(FfutoolFlashTest, FailuresEndWithoutLineBreakAndNonZeroExit) {
    const ImageSpec good = both_methods_spec();
    ImageSpec other_platform = good;
    other_platform.platform_id = "Contoso.TST8.Handset";
    const struct {
        const char* name;
        std::string ini_extra;
        std::optional<ImageSpec> plan; // none: the good image with one payload byte flipped
        bool plugged;
        const char* error;
    } cases[] = {
        {"fail=1", "fail=1\r\n", good, true, "transfer failed"},
        {"fail with a text", "fail=lost the handset\r\n", good, true, "lost the handset"},
        {"byte flipped", "", std::nullopt, true, "hash mismatch"},
        {"other platform", "", other_platform, true, "platform mismatch"},
        {"no handset", "", good, false, "no handset in flash mode is connected"},
    };
    for (const auto& c : cases) {
        write_file(handset + "\\handset.ini", handset_ini(c.ini_extra));
        if (c.plan) {
            write_image_file(*c.plan);
        } else {
            std::vector<std::uint8_t> image = write_image(good);
            image[image.size() - 5 * block + 100] ^= 0x20;
            write_file(image_path, image.data(), image.size());
        }
        const RunResult r = flash(c.plugged ? std::optional<std::string>(handset) : std::nullopt);
        EXPECT_NE(r.exit_code, 0u) << c.name << ":\n" << r.output;
        EXPECT_FALSE(ends_with_line_break(r.output)) << c.name << ":\n" << r.output;
        EXPECT_TRUE(contains(r.output, c.error)) << c.name << ":\n" << r.output;
        EXPECT_FALSE(contains(r.output, "Flash completed")) << c.name << ":\n" << r.output;
    }
}

TEST_F(FfutoolFlashTest, FailAfterSomeProgress) {
    write_file(handset + "\\handset.ini", handset_ini("fail=1\r\n"));
    write_image_file(both_methods_spec());
    const RunResult r = flash(handset);
    EXPECT_TRUE(contains(r.output, "Progress:")) << r.output;
    EXPECT_FALSE(contains(r.output, "Progress: 100%")) << r.output;
}

TEST_F(FfutoolFlashTest, StrayPromptAppearsInASuccessfulFlash) {
    write_file(handset + "\\handset.ini", handset_ini("stray_prompt=1\r\n"));
    write_image_file(both_methods_spec());
    const RunResult r = flash(handset);
    EXPECT_EQ(r.exit_code, 0u) << r.output;
    EXPECT_TRUE(contains(r.output, ">")) << r.output;
    EXPECT_TRUE(r.output.ends_with("\r\n")) << r.output;
}

// A hung tool goes quiet halfway and then finishes. The pause is at least the one asked for
// however slow the machine, so the check holds anywhere.
TEST_F(FfutoolFlashTest, HangStopsTheOutputHalfway) {
    write_file(handset + "\\handset.ini", handset_ini("hang_ms=1500\r\n"));
    write_image_file(both_methods_spec());
    const RunResult r = flash(handset);
    EXPECT_EQ(r.exit_code, 0u) << r.output;
    EXPECT_GE(r.longest_silence_ms, 1200u) << r.output;
    EXPECT_TRUE(contains(r.before_silence, "Progress:")) << r.before_silence;
    EXPECT_FALSE(contains(r.before_silence, "Progress: 100%")) << r.before_silence;
    EXPECT_TRUE(contains(r.output, "Progress: 100%")) << r.output;
}

} // namespace
} // namespace quorvel
