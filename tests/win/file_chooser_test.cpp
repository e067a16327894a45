// The firmware chooser, with the file dialog answered by script.
#include "app/app_state.hpp"
#include "app/file_chooser.hpp"
#include "app/main_window.hpp"
#include "win/file_dialog.hpp"
#include "win/system.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using namespace quorvel;

namespace {

// What the scripted dialog saw and what it answers.
struct DialogScript {
    OPENFILENAMEA seen = {};
    std::string buffer_seen, title_seen, filter_seen, initial_dir_seen;
    bool initial_dir_given = false;
    int calls = 0;
    bool choose = true;
    std::string answer;
} script;

BOOL WINAPI scripted_dialog(OPENFILENAMEA* r) {
    ++script.calls;
    script.seen = *r;
    script.buffer_seen.assign(r->lpstrFile, r->nMaxFile);
    script.title_seen = r->lpstrTitle ? r->lpstrTitle : "";
    script.initial_dir_given = r->lpstrInitialDir != nullptr;
    script.initial_dir_seen = r->lpstrInitialDir ? r->lpstrInitialDir : "";
    const char* f = r->lpstrFilter;
    size_t n = 0;
    while (f && !(f[n] == '\0' && f[n + 1] == '\0'))
        ++n;
    script.filter_seen.assign(f ? f : "", f ? n + 2 : 0);
    if (!script.choose) return FALSE;
    std::memset(r->lpstrFile, 0, r->nMaxFile);
    std::memcpy(r->lpstrFile, script.answer.data(), script.answer.size());
    return TRUE;
}

class FileChooserTest : public ::testing::Test {
protected:
    void SetUp() override {
        script = DialogScript();
        set_open_file_function(scripted_dialog);
        chooser = make_file_chooser();
    }
    void TearDown() override {
        chooser->release();
        set_open_file_function(nullptr);
    }
    FileChooser* chooser = nullptr;
};

const char ffu_filter_literal[] = "Windows Phone固件(*.FFU文件)\0*.ffu\0";
// The literal's own terminating NUL is the second of the two.
const std::string ffu_filter_bytes(ffu_filter_literal, sizeof ffu_filter_literal);

} // namespace

TEST_F(FileChooserTest, FilterIsStoredAsTheDialogTakesIt) {
    chooser->set_filter_text("Windows Phone固件(*.FFU文件)|*.ffu");
    EXPECT_EQ(chooser->get_filter_bytes(), ffu_filter_bytes);
    EXPECT_EQ(chooser->get_filter_text(), "Windows Phone固件(*.FFU文件)|*.ffu");
    // A double-byte character whose second byte is "|" stays whole.
    chooser->set_filter_text("\x81|a|*.x");
    EXPECT_EQ(chooser->get_filter_bytes(), std::string("\x81|a\0*.x\0\0", 9));
}

TEST_F(FileChooserTest, OpenFileFillsTheRecordAsTheDialogExpects) {
    chooser->set_filter_text("Windows Phone固件(*.FFU文件)|*.ffu");
    chooser->set_path("start.ffu");
    Text dir = "C:\\start here";
    script.answer = "C:\\images\\a.ffu";
    ASSERT_EQ(chooser->open_file(&dir), 1);
    const OPENFILENAMEA& r = script.seen;
    EXPECT_EQ(r.lStructSize, static_cast<DWORD>(OPENFILENAME_SIZE_VERSION_400A));
    if (sizeof(void*) == 4) {
        EXPECT_EQ(r.lStructSize, 76u);
    }
    EXPECT_EQ(r.hwndOwner, nullptr);
    EXPECT_EQ(r.hInstance, GetModuleHandleA(nullptr));
    EXPECT_EQ(r.nFilterIndex, 0u);
    EXPECT_EQ(r.lpstrCustomFilter, nullptr);
    EXPECT_EQ(r.nMaxFile, 261u);
    EXPECT_EQ(script.buffer_seen, "start.ffu" + std::string(251, ' ') + std::string(1, '\0'));
    EXPECT_EQ(script.title_seen, std::string(260, ' '));
    EXPECT_EQ(r.Flags, 0x00201004u);
    EXPECT_EQ(r.lpstrDefExt, nullptr);
    EXPECT_EQ(script.initial_dir_seen, dir);
    EXPECT_EQ(script.filter_seen, ffu_filter_bytes);
}

TEST_F(FileChooserTest, TheChosenPathIsTrimmedAndSplitAtItsLastBackslash) {
    struct Case {
        const char* answer;
        int result;
        const char* path;
        const char* folder;
        const char* file_name;
    } cases[] = {
        {"  C:\\my images\\固件 1.ffu  ", 1, "C:\\my images\\固件 1.ffu", "C:\\my images",
         "固件 1.ffu"},
        {"\xa1\xa1"
         "D:\\a.ffu\xa1\xa1",
         1, "D:\\a.ffu", "D:", "a.ffu"},
        // "\x95\x5c" is one character whose second byte is a backslash.
        {"E:\\d\\\x95\x5c.ffu", 1, "E:\\d\\\x95\x5c.ffu", "E:\\d", "\x95\x5c.ffu"},
        {"no folder.ffu", 1, "old\\p.ffu", "old", "p.ffu"}, // no backslash: fields unchanged
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer);
        chooser->set_path("old\\p.ffu");
        chooser->set_folder("old");
        chooser->set_file_name("p.ffu");
        script.answer = c.answer;
        EXPECT_EQ(chooser->open_file(), c.result);
        EXPECT_FALSE(script.initial_dir_given) << "no folder given: the current directory";
        EXPECT_EQ(chooser->get_path(), c.path);
        EXPECT_EQ(chooser->get_folder(), c.folder);
        EXPECT_EQ(chooser->get_file_name(), c.file_name);
    }
    script.choose = false;
    EXPECT_EQ(chooser->open_file(), 0);
    EXPECT_EQ(chooser->get_path(), "old\\p.ffu");
}

TEST_F(FileChooserTest, CloneCopiesEveryField) {
    chooser->set_path("a\\b");
    chooser->set_title("t");
    chooser->set_filter_text("x|*.y");
    chooser->set_font_size(70000);
    chooser->set_bold(true);
    FileChooser* copy = chooser->clone();
    EXPECT_EQ(copy->get_path(), "a\\b");
    EXPECT_EQ(copy->get_title(), "t");
    EXPECT_EQ(copy->get_filter_text(), "x|*.y");
    EXPECT_EQ(copy->get_font_size(), static_cast<int16_t>(70000)) << "the getter gives 16 bits";
    EXPECT_TRUE(copy->get_bold());
    copy->set_path("changed");
    EXPECT_EQ(chooser->get_path(), "a\\b");
    copy->release();
}

TEST_F(FileChooserTest, BrowseButtonStoresTheChoiceAndShowsIt) {
    create_program_records();
    HWND window = create_main_window();
    ASSERT_NE(window, nullptr);
    MainControls& c = main_controls();
    app_state().firmware_path.clear();

    script.answer = "C:\\images\\first.ffu";
    SendMessageA(c.BUTTON_BROWSE, BM_CLICK, 0, 0);
    EXPECT_EQ(script.calls, 1);
    EXPECT_EQ(script.initial_dir_seen,
              environment_variable("programdata") + "\\Nokia\\Packages\\Products");
    EXPECT_EQ(script.filter_seen, ffu_filter_bytes);
    EXPECT_EQ(app_state().firmware_path, "C:\\images\\first.ffu");
    char box[300];
    GetWindowTextA(c.编辑框1, box, sizeof box);
    EXPECT_STREQ(box, "C:\\images\\first.ffu");

    script.answer = "C:\\images\\second.ffu";
    SendMessageA(c.BUTTON_BROWSE, BM_CLICK, 0, 0);
    EXPECT_EQ(app_state().firmware_path, "C:\\images\\second.ffu");

    script.choose = false; // Cancel keeps the choice
    SendMessageA(c.BUTTON_BROWSE, BM_CLICK, 0, 0);
    EXPECT_EQ(app_state().firmware_path, "C:\\images\\second.ffu");

    SetWindowTextA(c.编辑框1, "typed by hand.ffu");
    EXPECT_EQ(app_state().firmware_path, "C:\\images\\second.ffu") << "typing changes nothing";

    DestroyWindow(window);
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
    }
    release_program_records();
}
