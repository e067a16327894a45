// The real program's start: a good start, and each way the start-up refuses, with exit code 0.
#include "automation.hpp"

#include <gtest/gtest.h>

#include <string>

using namespace quorvel::test;

namespace {

const std::string program_dir = QUORVEL_TEST_PROGRAM_DIR;
const std::string loopback_program = program_dir + "\\quorvel_loopback.exe";
const std::string noping_program = program_dir + "\\quorvel_noping.exe";
const char* const box_class = "#32770";
const char* const main_class = "QuorvelMainWindow";
const char* const main_caption = "Windows Phone - ffutool";
constexpr DWORD long_wait = 60000;

bool wait_until(DWORD timeout_ms, bool (*condition)(const std::string&), const std::string& arg) {
    DWORD start = GetTickCount();
    while (!condition(arg)) {
        if (GetTickCount() - start > timeout_ms) return false;
        sleep_ms(50);
    }
    return true;
}

bool tool_unpacked(const std::string& temp) {
    return file_exists(temp + "ffutool\\ffutool.exe") && !file_exists(temp + "tmp_tool.zip");
}

// Shows the box that the program puts up, checks its text, presses OK, and returns the exit code.
long expect_refusal(ProgramRun& run, const std::string& text) {
    HWND box = wait_window(run.pid(), box_class, "提示", long_wait);
    EXPECT_NE(box, nullptr) << "no message box titled 提示";
    if (!box) return -1;
    EXPECT_EQ(box_text(box), text);
    EXPECT_NE(GetDlgItem(box, IDOK), nullptr);
    EXPECT_EQ(GetDlgItem(box, IDCANCEL), nullptr);
    press_box_button(box, IDOK);
    return run.wait_exit(long_wait);
}

// Makes Wine report Windows XP to one program.
class ClaimWindowsXp {
public:
    explicit ClaimWindowsXp(const std::string& exe_name)
        : key_("Software\\Wine\\AppDefaults\\" + exe_name) {
        HKEY k;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, key_.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                            &k, nullptr) == ERROR_SUCCESS) {
            RegSetValueExA(k, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>("winxp"), 6);
            RegCloseKey(k);
        }
    }
    ~ClaimWindowsXp() { RegDeleteKeyA(HKEY_CURRENT_USER, key_.c_str()); }

private:
    std::string key_;
};

} // namespace

TEST(Startup, GoodStartUnpacksTheToolAndAsksBeforeClosing) {
    const std::string temp = temp_dir();
    // A tool folder left by an earlier run is deleted and unpacked afresh. Only the stale file
    // is there at first, so the tool's program appearing means this run unpacked it.
    CreateDirectoryA((temp + "ffutool").c_str(), nullptr);
    DeleteFileA((temp + "ffutool\\ffutool.exe").c_str());
    DeleteFileA((temp + "ffutool\\ffucomponents.dll").c_str());
    ASSERT_FALSE(file_exists(temp + "ffutool\\ffutool.exe"));
    HANDLE stale = CreateFileA((temp + "ffutool\\stale.txt").c_str(), GENERIC_WRITE, 0, nullptr,
                               CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(stale, INVALID_HANDLE_VALUE);
    CloseHandle(stale);

    ProgramRun run(loopback_program);
    ASSERT_TRUE(run.started());
    HWND main = wait_window(run.pid(), main_class, main_caption, long_wait);
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(wait_until(long_wait, tool_unpacked, temp));
    EXPECT_TRUE(file_exists(temp + "ffutool\\ffucomponents.dll"));
    EXPECT_FALSE(file_exists(temp + "ffutool\\stale.txt"));
    EXPECT_EQ(wait_window(run.pid(), box_class, "提示", 1000), nullptr) << "the start-up refused";

    // No keeps the program running; the question comes back on the system menu's close.
    PostMessageA(main, WM_CLOSE, 0, 0);
    HWND question = wait_window(run.pid(), box_class, "询问", long_wait);
    ASSERT_NE(question, nullptr);
    EXPECT_EQ(box_text(question), "确定要退出吗？");
    EXPECT_NE(GetDlgItem(question, IDYES), nullptr);
    EXPECT_NE(GetDlgItem(question, IDNO), nullptr);
    EXPECT_TRUE(GetWindowLongA(GetDlgItem(question, IDNO), GWL_STYLE) & BS_DEFPUSHBUTTON)
        << "No must be the default";
    press_box_button(question, IDNO);
    sleep_ms(500);
    EXPECT_TRUE(run.running());
    EXPECT_TRUE(IsWindow(main));

    PostMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0);
    question = wait_window(run.pid(), box_class, "询问", long_wait);
    ASSERT_NE(question, nullptr);
    press_box_button(question, IDYES);
    EXPECT_EQ(run.wait_exit(long_wait), 0);
}

TEST(Startup, WindowsOlderThanVistaIsRefusedBeforeTheConnectionIsTried) {
    ClaimWindowsXp xp("quorvel_noping.exe");
    // The program without a reachable ping host: only the version message may appear.
    ProgramRun run(noping_program);
    ASSERT_TRUE(run.started());
    HWND box = wait_window(run.pid(), box_class, "提示", long_wait);
    ASSERT_NE(box, nullptr);
    std::string text = box_text(box);
    const std::string tail = " 已经不再被支持！\r\n如需要部署固件，请使用Nokia Care Suite软件。";
    EXPECT_EQ(text.rfind("Microsoft Windows XP", 0), 0u) << text;
    ASSERT_GE(text.size(), tail.size());
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
    press_box_button(box, IDOK);
    EXPECT_EQ(run.wait_exit(long_wait), 0);
}

TEST(Startup, NoAnswerToThePingEndsTheProgram) {
    ProgramRun run(noping_program);
    ASSERT_TRUE(run.started());
    EXPECT_EQ(expect_refusal(run, "无法连接到互联网！"), 0);
}

TEST(Startup, ALockedToolFileMakesTheUnpackingFail) {
    const std::string temp = temp_dir();
    CreateDirectoryA((temp + "ffutool").c_str(), nullptr);
    // A tool still running holds its file; here a handle without sharing does the same.
    HANDLE held = CreateFileA((temp + "ffutool\\ffutool.exe").c_str(), GENERIC_WRITE, 0, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    ProgramRun run(loopback_program);
    ASSERT_TRUE(run.started());
    EXPECT_EQ(expect_refusal(run, "释放数据失败，请关闭杀软后再试！"), 0);
    CloseHandle(held);
}
