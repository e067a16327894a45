// The start-up sequence's good path in this process: banner, unpacked tool, stored paths.
#include "app/app_state.hpp"
#include "app/main_window.hpp"
#include "app/startup.hpp"
#include "win/system.hpp"
#include "win/ui.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

using namespace quorvel;

namespace {
std::string file_bytes(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}
} // namespace

TEST(StartupSequence, PaintsTheBannerUnpacksTheToolAndStoresThePaths) {
    create_program_records();
    HWND window = create_main_window();
    ASSERT_NE(window, nullptr);
    const Text temp = temp_dir();
    // Something of an earlier run that must not survive.
    CreateDirectoryA((temp + "ffutool").c_str(), nullptr);
    ASSERT_TRUE(write_whole_file(temp + "ffutool\\old.dll", "x", 1));

    run_startup_sequence();

    MainControls& c = main_controls();
    EXPECT_EQ(back_colour(c.wx_background), RGB(8, 186, 232));
    EXPECT_EQ(back_colour(c.Win_Logo), RGB(8, 186, 232));

    AppState& s = app_state();
    EXPECT_EQ(s.tool_path, temp + "\\ffutool\\ffutool.exe");
    EXPECT_EQ(s.download_dir, temp + "\\wprtsoftware_");
    // The drive of the prompt that follows the command: the system directory's.
    char sys[MAX_PATH] = {};
    GetSystemDirectoryA(sys, sizeof sys);
    EXPECT_EQ(s.success_marker, "\r\n\r\n" + std::string(sys, 2));
    EXPECT_FALSE(folder_exists(s.download_dir)) << "the download folder is made only when needed";

    // The unpacked tool is the one this build embedded, byte for byte.
    const std::string built = QUORVEL_TEST_FFUTOOL_DIR;
    EXPECT_TRUE(file_exists(s.tool_path));
    EXPECT_EQ(file_bytes(s.tool_path), file_bytes(built + "\\ffutool.exe"));
    EXPECT_EQ(file_bytes(temp + "ffutool\\ffucomponents.dll"),
              file_bytes(built + "\\ffucomponents.dll"));
    EXPECT_FALSE(file_exists(temp + "ffutool\\old.dll"));
    EXPECT_FALSE(file_exists(temp + "tmp_tool.zip"));

    DestroyWindow(window);
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
    }
    release_program_records();
}
