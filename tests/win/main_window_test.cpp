// The main window and the driver window, read back from the real windows.
#include "app/app_state.hpp"
#include "app/main_window.hpp"
#include "automation.hpp"
#include "box_script.hpp"
#include "win/ui.hpp"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>

using namespace quorvel;
using quorvel::test::BoxScript;

namespace {

std::string text_of(HWND w) {
    return quorvel::test::window_text(w);
}
using quorvel::test::class_of;

// Position in the parent's client area, and outer size.
RECT placement(HWND w) {
    RECT r;
    GetWindowRect(w, &r);
    MapWindowPoints(HWND_DESKTOP, GetParent(w), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

void pump() {
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
        if (m.message == WM_QUIT) continue; // a test's window closing ends no loop here
        if (main_controls().window && IsDialogMessageA(main_controls().window, &m)) continue;
        TranslateMessage(&m);
        DispatchMessageA(&m);
    }
}

void pump_for(DWORD ms) {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < ms) {
        pump();
        Sleep(10);
    }
}

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        create_program_records();
        window = create_main_window();
        ASSERT_NE(window, nullptr);
        ShowWindow(window, SW_SHOW);
        pump();
    }
    void TearDown() override {
        destroy_driver_window();
        if (IsWindow(window)) DestroyWindow(window);
        pump();
        release_program_records();
    }
    HWND window = nullptr;
};

struct Expected {
    HWND MainControls::*control;
    const char* cls;
    int left, top, width, height;
    const char* text;
    DWORD style_set;   // bits that must be set
    DWORD style_clear; // bits that must be clear
    DWORD ex_set;
};

} // namespace

TEST_F(MainWindowTest, WindowFrameSizeAndPlace) {
    EXPECT_EQ(text_of(window), "Windows Phone - ffutool");
    RECT r;
    GetWindowRect(window, &r);
    EXPECT_EQ(r.right - r.left, 572);
    EXPECT_EQ(r.bottom - r.top, 439);
    EXPECT_EQ(r.left, (GetSystemMetrics(SM_CXSCREEN) - 572) / 2);
    EXPECT_EQ(r.top, (GetSystemMetrics(SM_CYSCREEN) - 439) / 2);
    LONG style = GetWindowLongA(window, GWL_STYLE);
    EXPECT_TRUE(style & WS_CAPTION);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_FALSE(style & WS_THICKFRAME);
    EXPECT_FALSE(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_EQ(GetClassLongPtrA(window, GCLP_HBRBACKGROUND),
              static_cast<LONG_PTR>(COLOR_BTNFACE + 1));
}

TEST_F(MainWindowTest, ControlsAsDescribed) {
    const DWORD edit_frame = WS_EX_CLIENTEDGE;
    const Expected table[] = {
        {&MainControls::wx_background, shape_class_name, 0, 0, 576, 136, "", 0, 0, 0},
        {&MainControls::Win_Logo, picture_class_name, 16, 43, 392, 57, "", 0, 0, 0},
        {&MainControls::选择夹_MAIN, pages_class_name, 7, 144, 552, 152, "", 0, 0, 0},
        {&MainControls::标签_Tips, "Static", 13, 14, 264, 16, "选择一个固件", 0,
         SS_CENTER | SS_RIGHT, 0},
        {&MainControls::编辑框1, "Edit", 12, 38, 432, 24, "", ES_AUTOHSCROLL | WS_TABSTOP,
         ES_MULTILINE | ES_READONLY | ES_NOHIDESEL, edit_frame},
        {&MainControls::BUTTON_BROWSE, "Button", 452, 37, 87, 25, "浏览...", WS_TABSTOP, 0, 0},
        {&MainControls::标签_Apply, "Static", 16, 23, 256, 16, "正在写入镜像...", 0, 0, 0},
        {&MainControls::进度条_flashFlag, "msctls_progress32", 14, 48, 523, 24, "", 0,
         PBS_SMOOTH | PBS_VERTICAL, WS_EX_STATICEDGE},
        {&MainControls::标签1, "Static", 9, 16, 240, 24, "此处显示FFUTOOL进程返回数据：", 0, 0, 0},
        {&MainControls::Edit1, "Edit", 9, 48, 392, 64, "",
         ES_MULTILINE | WS_VSCROLL | ES_WANTRETURN | WS_TABSTOP,
         ES_AUTOHSCROLL | WS_HSCROLL | ES_READONLY | ES_NOHIDESEL, edit_frame},
        {&MainControls::wx_line_footer, shape_class_name, -40, 356, 632, 8, "",
         shape_etched_top_line, 0, 0},
        {&MainControls::BUTTON_STRAT, "Button", 400, 366, 144, 32, "开始（&S）", WS_TABSTOP, 0, 0},
    };
    MainControls& c = main_controls();
    for (const Expected& e : table) {
        HWND h = c.*(e.control);
        SCOPED_TRACE(e.text[0] ? e.text : e.cls);
        ASSERT_NE(h, nullptr);
        EXPECT_EQ(_stricmp(class_of(h).c_str(), e.cls), 0) << class_of(h);
        RECT r = placement(h);
        EXPECT_EQ(r.left, e.left);
        EXPECT_EQ(r.top, e.top);
        EXPECT_EQ(r.right - r.left, e.width);
        EXPECT_EQ(r.bottom - r.top, e.height);
        EXPECT_EQ(text_of(h), e.text);
        LONG style = GetWindowLongA(h, GWL_STYLE);
        EXPECT_EQ(style & e.style_set, static_cast<LONG>(e.style_set));
        EXPECT_EQ(style & e.style_clear, 0);
        EXPECT_EQ(GetWindowLongA(h, GWL_EXSTYLE) & e.ex_set, static_cast<LONG>(e.ex_set));
        EXPECT_TRUE(IsWindowEnabled(h));
        EXPECT_EQ(SendMessageA(h, WM_GETFONT, 0, 0),
                  h == c.wx_background || h == c.Win_Logo || h == c.选择夹_MAIN ||
                          h == c.wx_line_footer
                      ? SendMessageA(h, WM_GETFONT, 0, 0)
                      : reinterpret_cast<LRESULT>(GetStockObject(DEFAULT_GUI_FONT)));
    }
    // Progress bar range 0..100 at 0.
    EXPECT_EQ(SendMessageA(c.进度条_flashFlag, PBM_GETRANGE, FALSE, 0), 100);
    EXPECT_EQ(SendMessageA(c.进度条_flashFlag, PBM_GETRANGE, TRUE, 0), 0);
    EXPECT_EQ(SendMessageA(c.进度条_flashFlag, PBM_GETPOS, 0, 0), 0);
    // The logo box keeps its design colour until the start-up paints the banner.
    EXPECT_EQ(back_colour(c.Win_Logo), RGB(0, 136, 255));
}

TEST_F(MainWindowTest, ThreePagesWithoutHeadersPageZeroCurrent) {
    MainControls& c = main_controls();
    const char* names[] = {"Homepage", "Loading page", "EditBox"};
    for (int i = 0; i < 3; ++i) {
        HWND page = pages_page(c.选择夹_MAIN, i);
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(text_of(page), names[i]);
        RECT r = placement(page);
        EXPECT_EQ(r.left, 0);
        EXPECT_EQ(r.top, 0) << "no header strip above the page";
    }
    EXPECT_EQ(pages_page(c.选择夹_MAIN, 3), nullptr);
    EXPECT_EQ(pages_current(c.选择夹_MAIN), 0);
    EXPECT_TRUE(IsWindowVisible(c.编辑框1));
    EXPECT_FALSE(IsWindowVisible(c.进度条_flashFlag));
    EXPECT_FALSE(IsWindowVisible(c.Edit1));

    pages_set_current(c.选择夹_MAIN, 1);
    EXPECT_EQ(pages_current(c.选择夹_MAIN), 1);
    EXPECT_FALSE(IsWindowVisible(c.编辑框1));
    EXPECT_TRUE(IsWindowVisible(c.进度条_flashFlag));
    EXPECT_FALSE(IsWindowVisible(c.Edit1));
}

TEST_F(MainWindowTest, TabVisitsTheTwoEditBoxesAndButtonsOnly) {
    MainControls& c = main_controls();
    HWND order[] = {c.编辑框1, c.BUTTON_BROWSE, c.BUTTON_STRAT, c.编辑框1};
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(GetNextDlgTabItem(window, order[i], FALSE), order[i + 1]) << "step " << i;
    // Edit1 takes the focus with Tab too, on its page, which is never shown.
    EXPECT_TRUE(GetWindowLongA(c.Edit1, GWL_STYLE) & WS_TABSTOP);
    for (HWND h : {c.wx_background, c.Win_Logo, c.标签_Tips, c.进度条_flashFlag, c.wx_line_footer})
        EXPECT_FALSE(GetWindowLongA(h, GWL_STYLE) & WS_TABSTOP);
}

TEST_F(MainWindowTest, AltSPressesTheStartButton) {
    MainControls& c = main_controls();
    // The click runs the enable rule, which disables the start controls while page 1 is current.
    pages_set_current(c.选择夹_MAIN, 1);
    SetForegroundWindow(window);
    SetFocus(c.BUTTON_BROWSE);
    PostMessageA(c.BUTTON_BROWSE, WM_SYSCHAR, 's', 1 << 29);
    pump_for(200);
    EXPECT_FALSE(IsWindowEnabled(c.BUTTON_STRAT));
    EXPECT_FALSE(IsWindowEnabled(c.编辑框1));
}

TEST_F(MainWindowTest, CloseQuestionOnEscAndCloseButton) {
    MainControls& c = main_controls();
    BoxScript boxes({DialogAnswer::no, DialogAnswer::no, DialogAnswer::yes});
    SetFocus(c.编辑框1);
    PostMessageA(c.编辑框1, WM_KEYDOWN, VK_ESCAPE, 1);
    pump_for(100);
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].text, "确定要退出吗？");
    EXPECT_EQ(boxes.shown()[0].title, "询问");
    EXPECT_EQ(boxes.shown()[0].style, 292u | MB_TASKMODAL);
    EXPECT_TRUE(IsWindow(window)) << "No refuses the close";
    EXPECT_EQ(pages_current(c.选择夹_MAIN), 0);

    SendMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    ASSERT_EQ(boxes.shown().size(), 2u);
    EXPECT_TRUE(IsWindow(window));

    SendMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    ASSERT_EQ(boxes.shown().size(), 3u);
    EXPECT_FALSE(IsWindow(window)) << "Yes closes the window";
    MSG m;
    EXPECT_TRUE(PeekMessageA(&m, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE))
        << "and ends the message loop";
}

TEST_F(MainWindowTest, EnableRule) {
    MainControls& c = main_controls();
    struct Case {
        int page;
        bool driver_window;
        bool enabled;
    } cases[] = {{0, false, true}, {1, false, false}, {0, true, false}, {0, false, true}};
    for (const Case& k : cases) {
        SCOPED_TRACE(testing::Message()
                     << "page " << k.page << " driver window " << k.driver_window);
        pages_set_current(c.选择夹_MAIN, k.page);
        if (k.driver_window)
            open_driver_window();
        else
            destroy_driver_window();
        apply_enable_rule();
        EXPECT_EQ(IsWindowEnabled(c.编辑框1) != 0, k.enabled);
        EXPECT_EQ(IsWindowEnabled(c.BUTTON_BROWSE) != 0, k.enabled);
        EXPECT_EQ(IsWindowEnabled(c.BUTTON_STRAT) != 0, k.enabled);
    }
}

TEST_F(MainWindowTest, DriverWindowOpensOwnedFramelessAndDraggable) {
    EXPECT_FALSE(driver_window_exists());
    open_driver_window();
    ASSERT_TRUE(driver_window_exists());
    DriverControls& d = driver_controls();
    HWND w = d.window;
    EXPECT_EQ(GetWindow(w, GW_OWNER), window);
    EXPECT_EQ(text_of(w), "");
    RECT r;
    GetWindowRect(w, &r);
    EXPECT_EQ(r.right - r.left, 246);
    EXPECT_EQ(r.bottom - r.top, 83);
    EXPECT_EQ(r.left, (GetSystemMetrics(SM_CXSCREEN) - 246) / 2);
    EXPECT_EQ(r.top, (GetSystemMetrics(SM_CYSCREEN) - 83) / 2);
    LONG style = GetWindowLongA(w, GWL_STYLE), ex = GetWindowLongA(w, GWL_EXSTYLE);
    EXPECT_FALSE(style & (WS_CAPTION | WS_THICKFRAME | WS_BORDER | WS_SYSMENU));
    EXPECT_TRUE(ex & WS_EX_TOOLWINDOW) << "not in the taskbar";
    EXPECT_FALSE(ex & (WS_EX_APPWINDOW | WS_EX_TOPMOST));
    EXPECT_TRUE(IsWindowVisible(w));
    EXPECT_TRUE(IsWindowEnabled(window)) << "not modal";

    struct {
        HWND h;
        const char* cls;
        int left, top, width, height;
        bool enabled;
    } controls[] = {{d.图片框1, picture_class_name, 39, 21, 24, 24, false},
                    {d.标签_提示标签, centred_label_class_name, 60, 26, 144, 32, false},
                    {d.进度条1, "msctls_progress32", 20, 63, 208, 8, true}};
    for (const auto& k : controls) {
        SCOPED_TRACE(k.cls);
        RECT p = placement(k.h);
        EXPECT_EQ(_stricmp(class_of(k.h).c_str(), k.cls), 0);
        EXPECT_EQ(p.left, k.left);
        EXPECT_EQ(p.top, k.top);
        EXPECT_EQ(p.right - p.left, k.width);
        EXPECT_EQ(p.bottom - p.top, k.height);
        EXPECT_EQ(IsWindowEnabled(k.h) != 0, k.enabled);
        // Dragging anywhere moves the window: the controls let the mouse through to it, and
        // the window answers as a caption.
        POINT centre = {(p.left + p.right) / 2, (p.top + p.bottom) / 2};
        ClientToScreen(w, &centre);
        EXPECT_EQ(SendMessageA(k.h, WM_NCHITTEST, 0, MAKELPARAM(centre.x, centre.y)),
                  HTTRANSPARENT);
        EXPECT_EQ(SendMessageA(w, WM_NCHITTEST, 0, MAKELPARAM(centre.x, centre.y)), HTCAPTION);
    }
    EXPECT_EQ(text_of(d.标签_提示标签), "正在下载驱动...");
    EXPECT_FALSE(GetWindowLongA(d.进度条1, GWL_EXSTYLE) & (WS_EX_STATICEDGE | WS_EX_CLIENTEDGE));
    HFONT font = reinterpret_cast<HFONT>(SendMessageA(d.标签_提示标签, WM_GETFONT, 0, 0));
    LOGFONTA lf = {};
    ASSERT_TRUE(GetObjectA(font, sizeof lf, &lf));
    EXPECT_EQ(lf.lfHeight, -12);
    EXPECT_EQ(lf.lfWeight, FW_NORMAL);
    EXPECT_EQ(lf.lfCharSet, GB2312_CHARSET);
    EXPECT_STREQ(lf.lfFaceName, "宋体");
    EXPECT_EQ(back_colour(d.标签_提示标签), RGB(255, 255, 255));

    // The busy animation plays.
    int first = picture_current_frame(d.图片框1);
    pump_for(300);
    EXPECT_NE(picture_current_frame(d.图片框1), first);

    // Esc does nothing to it.
    SetForegroundWindow(w);
    PostMessageA(w, WM_KEYDOWN, VK_ESCAPE, 1);
    pump_for(50);
    EXPECT_TRUE(driver_window_exists());

    destroy_driver_window();
    EXPECT_FALSE(driver_window_exists());
    EXPECT_FALSE(IsWindow(w));
}
