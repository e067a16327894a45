// The stand-in flashing tool's device listing: run as the program runs it (through cmd.exe,
// output redirected into the listing file) and directly through a pipe, with the simulated
// handset switched by the environment of the child.
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

const std::string tool_dir = QUORVEL_TEST_FFUTOOL_DIR;

using EnvChanges = std::vector<std::pair<std::string, std::optional<std::string>>>;

struct RunResult {
    DWORD exit_code = 0;
    std::string output;
};

std::string upper(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// This process's environment with `changes` applied (no value: the variable is removed), as
// a block for CreateProcessA, sorted by name without regard to case as Windows keeps it.
std::string environment_with(const EnvChanges& changes) {
    std::vector<std::string> entries;
    char* block = GetEnvironmentStringsA();
    for (const char* p = block; *p; p += std::strlen(p) + 1)
        entries.emplace_back(p);
    FreeEnvironmentStringsA(block);
    auto name_of = [](const std::string& entry) {
        // Entries such as "=C:=C:\x" keep their leading '=' in the name.
        return upper(entry.substr(0, entry.find('=', 1)));
    };
    for (const auto& [name, value] : changes) {
        std::erase_if(entries, [&](const std::string& e) { return name_of(e) == upper(name); });
        if (value) entries.push_back(name + "=" + *value);
    }
    std::sort(entries.begin(), entries.end(),
              [&](const std::string& a, const std::string& b) { return name_of(a) < name_of(b); });
    std::string result;
    for (const std::string& e : entries)
        result += e + '\0';
    return result + '\0';
}

// Runs a command line with standard input from NUL and standard output and error into a pipe,
// waits for it to end and returns its exit code and everything it printed.
RunResult run(const std::string& command_line, const EnvChanges& changes) {
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
    std::string environment = environment_with(changes);
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
    while (ReadFile(read_end, buffer, sizeof buffer, &n, nullptr) && n > 0)
        result.output.append(buffer, n);
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
    char buffer[4096];
    DWORD n = 0;
    while (ReadFile(f, buffer, sizeof buffer, &n, nullptr) && n > 0)
        content.append(buffer, n);
    CloseHandle(f);
    return content;
}

void write_file(const std::string& path, const std::string& content) {
    HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE) << path;
    DWORD written = 0;
    WriteFile(f, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    CloseHandle(f);
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

// Every line ends in CR LF, as the listing of a Windows program does.
bool only_crlf_line_ends(const std::string& text) {
    for (std::size_t i = 0; i < text.size(); ++i)
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) return false;
    return !text.empty() && text.ends_with("\r\n");
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

constexpr const char* handset_ini = "; a handset in flash mode\r\n"
                                    "[handset]\r\n"
                                    "name=Test Handset 7\r\n"
                                    "unique_id=0F1E2D3C4B5A69788796A5B4C3D2E1F0\r\n"
                                    "platform_id=Contoso.TST7.Handset\r\n"
                                    "storage_bytes=8388608000\r\n"
                                    "fail=\r\n";

// A temporary directory of its own (standing in for TEMP) holding the unpacked tool as the
// program leaves it, a handset folder and a folder without handset.ini.
class FfutoolTest : public ::testing::Test {
protected:
    void SetUp() override {
        char temp[MAX_PATH];
        ASSERT_GT(GetTempPathA(MAX_PATH, temp), 0u);
        char name[MAX_PATH];
        ASSERT_NE(GetTempFileNameA(temp, "ffu", 0, name), 0u);
        DeleteFileA(name);
        ASSERT_TRUE(CreateDirectoryA(name, nullptr));
        // The listing command names the tool without quotes, so no spaces in the path.
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
        write_file(handset + "\\handset.ini", handset_ini);
        no_handset = root + "\\unplugged";
        ASSERT_TRUE(CreateDirectoryA(no_handset.c_str(), nullptr));
    }

    void TearDown() override {
        if (!root.empty()) remove_tree(root);
    }

    // The listing as the program gets it: cmd expands %temp% and redirects into the file.
    std::string list_as_the_program_does(const std::optional<std::string>& handset_folder) {
        const RunResult r =
            run("cmd /c %temp%\\ffutool\\ffutool -list>%temp%\\ffutool\\tmp",
                {{"TEMP", root}, {"TMP", root}, {"QUORVEL_HANDSET", handset_folder}});
        EXPECT_EQ(r.exit_code, 0u) << r.output;
        return read_file(tool + "\\tmp");
    }

    RunResult run_tool(const std::string& arguments,
                       const std::optional<std::string>& handset_folder) {
        return run("\"" + tool + "\\ffutool.exe\"" + arguments,
                   {{"QUORVEL_HANDSET", handset_folder}});
    }

    std::string root, tool, handset, no_handset;
};

TEST_F(FfutoolTest, ListingThroughCmdShowsTheAttachedHandsetOnly) {
    const std::string attached = list_as_the_program_does(handset);
    EXPECT_TRUE(contains(attached, "Devices Found")) << attached;
    for (const char* detail :
         {"Found device:", "Test Handset 7", "0F1E2D3C4B5A69788796A5B4C3D2E1F0",
          "Contoso.TST7.Handset", "8388608000 bytes"})
        EXPECT_TRUE(contains(attached, detail)) << detail << " in:\n" << attached;
    EXPECT_TRUE(only_crlf_line_ends(attached)) << attached;

    const std::string unplugged = list_as_the_program_does(std::nullopt);
    EXPECT_FALSE(contains(unplugged, "Devices Found")) << unplugged;
    EXPECT_TRUE(contains(unplugged, "No devices connected")) << unplugged;
    EXPECT_TRUE(only_crlf_line_ends(unplugged)) << unplugged;
}

TEST_F(FfutoolTest, FolderWithoutHandsetFileIsNoHandset) {
    for (const std::string& folder : {no_handset, root + "\\absent"}) {
        const RunResult r = run_tool(" -list", folder);
        EXPECT_EQ(r.exit_code, 0u) << folder;
        EXPECT_FALSE(contains(r.output, "Devices Found")) << folder << ":\n" << r.output;
        EXPECT_TRUE(contains(r.output, "No devices connected")) << folder << ":\n" << r.output;
    }
}

TEST_F(FfutoolTest, BrokenHandsetFileIsReportedAndNotListed) {
    // A mistyped fixture must show, not pass as a handset without the intended setting.
    const struct {
        const char* ini;
        const char* reason;
    } cases[] = {
        {"[handset]\nname=A\nunique_id=1\nplatform_id=P\nstorage_bytes=4096\nhang=5\n",
         "line 6: unknown key \"hang\""},
        {"[handset]\nname=A\nunique_id=1\nplatform_id=P\n", "missing key \"storage_bytes\""},
        {"name=A\nunique_id=1\nplatform_id=P\nstorage_bytes=1000\n",
         "line 4: storage_bytes is not a multiple of the 512-byte sector"},
    };
    for (const auto& c : cases) {
        write_file(handset + "\\handset.ini", c.ini);
        const RunResult r = run_tool(" -list", handset);
        EXPECT_EQ(r.exit_code, 1u) << r.output;
        EXPECT_TRUE(contains(r.output, "handset.ini: " + std::string(c.reason))) << r.output;
        EXPECT_FALSE(contains(r.output, "Devices Found")) << r.output;
    }
}

TEST_F(FfutoolTest, BadCommandLinePrintsUsageAndFails) {
    for (const std::string arguments : {"", " -bogus"}) {
        const RunResult r = run_tool(arguments, handset);
        EXPECT_EQ(r.exit_code, 2u) << arguments;
        EXPECT_TRUE(contains(r.output, "Usage: ffutool -list\r\n")) << r.output;
        EXPECT_EQ(contains(r.output, "unknown option \"-bogus\""), !arguments.empty()) << r.output;
        EXPECT_FALSE(contains(r.output, "Devices Found")) << r.output;
    }
}

TEST_F(FfutoolTest, ProgramNeedsItsLibraryBesideIt) {
    ASSERT_TRUE(DeleteFileA((tool + "\\ffucomponents.dll").c_str()));
    // No loader dialog on Windows: the child inherits this error mode.
    const UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS);
    const RunResult r = run_tool(" -list", handset);
    SetErrorMode(previous);
    constexpr DWORD status_dll_not_found = 0xC0000135;
    EXPECT_EQ(r.exit_code, status_dll_not_found) << r.output;
}

} // namespace
} // namespace quorvel
