// A flash run from start_flash to the verdict: the real bridge, Wine's cmd.exe and the stand-in
// tool flashing a simulated handset; message boxes answered by script.
#include "app/app_state.hpp"
#include "app/main_window.hpp"
#include "box_script.hpp"
#include "pump.hpp"
#include "console/console_bridge.hpp"
#include "ffu/ffu_format.hpp"
#include "flash/flash_run.hpp"
#include "win/system.hpp"
#include "win/ui.hpp"

#include <commctrl.h>
#include <gtest/gtest.h>
#include <tlhelp32.h>

#include <fstream>
#include <iterator>
#include <set>
#include <string>

using namespace quorvel;
using quorvel::test::BoxScript;

using namespace quorvel::test;

namespace {

const std::string tool_dir = QUORVEL_TEST_FFUTOOL_DIR;
constexpr const char* platform = "Quorvel.Test.Handset";
constexpr std::uint32_t block = 16 * 1024;

std::string read_file(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

void write_file(const std::string& path, const std::string& bytes) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::set<std::string> temp_logs() {
    std::set<std::string> names;
    WIN32_FIND_DATAA d;
    HANDLE h = FindFirstFileA((temp_dir() + "*.tmp").c_str(), &d);
    if (h == INVALID_HANDLE_VALUE) return names;
    do
        names.insert(d.cFileName);
    while (FindNextFileA(h, &d));
    FindClose(h);
    return names;
}

int end_processes_named(const char* exe) {
    int n = 0;
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 e = {};
    e.dwSize = sizeof e;
    for (BOOL ok = Process32First(snap, &e); ok; ok = Process32Next(snap, &e)) {
        if (_stricmp(e.szExeFile, exe) != 0) continue;
        if (HANDLE p = OpenProcess(PROCESS_TERMINATE, FALSE, e.th32ProcessID)) {
            TerminateProcess(p, 0);
            CloseHandle(p);
            ++n;
        }
    }
    CloseHandle(snap);
    return n;
}

class FlashRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        // The image in a folder with a space and Chinese characters, as users' folders have. The
        // simulated handset's own folder stays plain: the stand-in reads it from the environment.
        folder = temp_dir() + "闪存 测试";
        CreateDirectoryA(folder.c_str(), nullptr);
        handset = temp_dir() + "flash_run_handset";
        CreateDirectoryA(handset.c_str(), nullptr);
        DeleteFileA((handset + "\\storage.bin").c_str());
        SetEnvironmentVariableA("QUORVEL_HANDSET", handset.c_str());

        ffu::ImageSpec plan;
        plan.platform_id = platform;
        plan.chunk_kb = block / 1024;
        plan.descriptors = {{4, {{ffu::DiskAccess::from_start, 2}}}};
        for (std::uint32_t i = 0; i < 4 * block; ++i)
            plan.payload.push_back(static_cast<std::uint8_t>(i * 7));
        image_bytes = plan.payload;
        std::vector<std::uint8_t> image = ffu::write_image(plan);
        image_path = folder + "\\固件 image.ffu";
        write_file(image_path, std::string(image.begin(), image.end()));

        create_program_records();
        window = create_main_window();
        ASSERT_NE(window, nullptr);
        AppState& s = app_state();
        s.tool_path = tool_dir + "\\ffutool.exe";
        s.firmware_path = image_path;
        Text sys = system_directory();
        s.success_marker = "\r\n\r\n" + sys.substr(0, 2);
    }
    void TearDown() override {
        // Whatever a failed check left running must not hold the test's output open.
        end_processes_named("notepad.exe");
        end_processes_named("ffutool.exe");
        SetEnvironmentVariableA("QUORVEL_HANDSET", nullptr);
        if (console_bridge().open) close_bridge(console_bridge());
        set_timer_period(TIME_FLAG, 0);
        DestroyWindow(window);
        pump_messages();
        release_program_records();
    }
    void handset_ini(const std::string& extra) {
        write_file(handset + "\\handset.ini",
                   "name=Test\r\nunique_id=01\r\nplatform_id=" + std::string(platform) +
                       "\r\nstorage_bytes=" + std::to_string(64 * block) + "\r\n" + extra);
    }
    // Starts as the start request does after the precautions: page 1, the timer (shortened), the
    // flash.
    void run_until_judged(BoxScript& boxes) {
        MainControls& c = main_controls();
        pages_set_current(c.选择夹_MAIN, 1);
        set_timer_period(TIME_FLAG, 200);
        ASSERT_TRUE(start_flash());
        ASSERT_TRUE(pump_until([&] { return !boxes.shown().empty(); }, 60000)) << "no verdict";
    }
    int bar() {
        return static_cast<int>(SendMessageA(main_controls().进度条_flashFlag, PBM_GETPOS, 0, 0));
    }

    std::string folder, handset, image_path;
    std::vector<std::uint8_t> image_bytes;
    HWND window = nullptr;
};

} // namespace

TEST_F(FlashRunTest, ASuccessfulFlashEndsWithTheSuccessBoxAndTheImageInTheHandset) {
    handset_ini("");
    BoxScript boxes({DialogAnswer::ok});
    std::set<std::string> logs_before = temp_logs();
    run_until_judged(boxes);
    ASSERT_EQ(boxes.shown().size(), 1u);
    char out[30001] = {};
    GetWindowTextA(main_controls().Edit1, out, sizeof out);
    EXPECT_EQ(boxes.shown()[0].text, "已经成功将镜像写入至Windows Phone设备\r\n设备将自动重启...")
        << out;
    EXPECT_EQ(boxes.shown()[0].title, "提示");
    EXPECT_EQ(boxes.shown()[0].style, 64u | MB_TASKMODAL);
    EXPECT_EQ(pages_current(main_controls().选择夹_MAIN), 0);
    EXPECT_FALSE(console_bridge().open);
    EXPECT_EQ(bar(), 100);
    EXPECT_EQ(temp_logs(), logs_before) << "no log on success";
    std::string storage = read_file(handset + "\\storage.bin");
    ASSERT_GE(storage.size(), 6u * block);
    EXPECT_EQ(storage.substr(2 * block, 4 * block),
              std::string(image_bytes.begin(), image_bytes.end()));
}

TEST_F(FlashRunTest, AFailingFlashWritesTheLogAfterTheBoxAndOpensNotepad) {
    handset_ini("fail=1\r\n");
    BoxScript boxes({DialogAnswer::ok});
    std::set<std::string> logs_before = temp_logs();
    run_until_judged(boxes);
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].text, "很抱歉，应用固件失败，请查看错误日志！");
    EXPECT_EQ(boxes.shown()[0].style, 48u | MB_TASKMODAL);
    EXPECT_EQ(pages_current(main_controls().选择夹_MAIN), 0);
    EXPECT_FALSE(console_bridge().open);
    EXPECT_LT(bar(), 100) << "a failed run leaves the bar where it was";
    std::set<std::string> logs_after = temp_logs();
    std::string log;
    for (const std::string& n : logs_after)
        if (!logs_before.count(n)) log = read_file(temp_dir() + n);
    EXPECT_NE(log.find(image_path), std::string::npos) << "the log names the image";
    EXPECT_NE(log.find("Error"), std::string::npos) << "and holds the tool's output";
    EXPECT_TRUE(pump_until([] { return end_processes_named("notepad.exe") > 0; }, 15000))
        << "Notepad was started";
}

TEST_F(FlashRunTest, AStrayPromptInTheToolsOutputGivesTheVerdictAtOnce) {
    handset_ini("stray_prompt=1\r\nhang_ms=20000\r\n");
    BoxScript boxes({DialogAnswer::ok});
    DWORD t0 = GetTickCount();
    run_until_judged(boxes);
    EXPECT_LT(GetTickCount() - t0, 15000u) << "judged before the hang was over";
    EXPECT_EQ(boxes.shown()[0].style, 48u | MB_TASKMODAL);
    EXPECT_FALSE(console_bridge().open);
    pump_until([] { return end_processes_named("notepad.exe") > 0; }, 15000);
    end_processes_named("ffutool.exe");
}

TEST_F(FlashRunTest, AHungToolGivesNoVerdictWhileTheBarMoves) {
    handset_ini("hang_ms=20000\r\n");
    BoxScript boxes({});
    MainControls& c = main_controls();
    pages_set_current(c.选择夹_MAIN, 1);
    set_timer_period(TIME_FLAG, 100);
    ASSERT_TRUE(start_flash());
    pump_until([] { return false; }, 2500);
    EXPECT_TRUE(boxes.shown().empty());
    EXPECT_GE(bar(), 5) << "one step a tick";
    EXPECT_TRUE(console_bridge().open);
    set_timer_period(TIME_FLAG, 0);
    close_bridge(console_bridge());
    end_processes_named("ffutool.exe");
}
