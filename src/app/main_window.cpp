#include "app/main_window.hpp"

#include "app/events.hpp"
#include "app/file_chooser.hpp"
#include "flash/flash_run.hpp"
#include "core/gif_anim.hpp"
#include "core/png_image.hpp"
#include "win/handle.hpp"
#include "win/message_box.hpp"
#include "win/system.hpp"
#include "win/ui.hpp"

#include "resource_ids.h"

#include <commctrl.h>
#include <windowsx.h>

namespace quorvel {

const char* const main_window_caption = "Windows Phone - ffutool";
const char* const main_window_class = "QuorvelMainWindow";
const char* const driver_window_class = "QuorvelDriverWindow";

namespace {

MainControls main_ctl;
DriverControls driver_ctl;
UniqueGdi<HFONT> driver_label_font;

constexpr int main_width = 572, main_height = 439;
constexpr int driver_width = 246, driver_height = 83;

// Row order is creation order, and so the Tab order: 编辑框1, BUTTON_BROWSE, BUTTON_STRAT
// (Edit1 sits on a page that is never shown, so Tab never reaches it).
enum Row { r_background, r_logo, r_pages, r_page0, r_page1, r_page2 };
const ControlSpec main_table[] = {
    {"wx_background", ControlKind::shape, -1, 0, 0, 576, 136, "", 0, 0, id_wx_background},
    {"Win_Logo", ControlKind::picture, r_background, 16, 43, 392, 57, "", 0, 0, id_win_logo},
    {"选择夹_MAIN", ControlKind::pages, -1, 7, 144, 552, 152, "", 0, 0, id_pages},
    {"Homepage", ControlKind::page, r_pages, 0, 0, 552, 152, "Homepage", 0, 0, id_page_home},
    {"Loading page", ControlKind::page, r_pages, 0, 0, 552, 152, "Loading page", 0, 0,
     id_page_loading},
    {"EditBox", ControlKind::page, r_pages, 0, 0, 552, 152, "EditBox", 0, 0, id_page_editbox},
    {"标签_Tips", ControlKind::label, r_page0, 13, 14, 264, 16, "选择一个固件", 0, 0, id_tips},
    {"编辑框1", ControlKind::edit, r_page0, 12, 38, 432, 24, "", ES_AUTOHSCROLL | WS_TABSTOP, 0,
     id_firmware_edit},
    {"BUTTON_BROWSE", ControlKind::button, r_page0, 452, 37, 87, 25, "浏览...", WS_TABSTOP, 0,
     id_browse},
    {"标签_Apply", ControlKind::label, r_page1, 16, 23, 256, 16, "正在写入镜像...", 0, 0, id_apply},
    {"进度条_flashFlag", ControlKind::progress, r_page1, 14, 48, 523, 24, "", 0, WS_EX_STATICEDGE,
     id_flash_progress},
    {"标签1", ControlKind::label, r_page2, 9, 16, 240, 24, "此处显示FFUTOOL进程返回数据：", 0, 0,
     id_output_label},
    {"Edit1", ControlKind::edit, r_page2, 9, 48, 392, 64, "",
     ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | WS_VSCROLL | WS_TABSTOP, 0, id_output_edit},
    {"wx_line_footer", ControlKind::shape, -1, -40, 356, 632, 8, "", shape_etched_top_line, 0,
     id_footer},
    {"BUTTON_STRAT", ControlKind::button, -1, 400, 366, 144, 32, "开始（&S）", WS_TABSTOP, 0,
     id_start},
};

const ControlSpec driver_table[] = {
    {"图片框1", ControlKind::picture, -1, 39, 21, 24, 24, "", WS_DISABLED | picture_centre_fit, 0,
     1},
    {"标签_提示标签", ControlKind::centred_label, -1, 60, 26, 144, 32, "正在下载驱动...",
     WS_DISABLED, 0, 2},
    {"进度条1", ControlKind::progress, -1, 20, 63, 208, 8, "", 0, 0, 3},
};

bool load_resource_png(int id, Image& out) {
    std::size_t size = 0;
    const unsigned char* data = program_resource(id, &size);
    return data && decode_png(data, size, out);
}

void create_main_controls(HWND window) {
    HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    std::vector<HWND> h = create_controls(window, main_table, std::size(main_table), font);
    main_ctl.window = window;
    main_ctl.wx_background = h[0];
    main_ctl.Win_Logo = h[1];
    main_ctl.选择夹_MAIN = h[2];
    main_ctl.标签_Tips = h[6];
    main_ctl.编辑框1 = h[7];
    main_ctl.BUTTON_BROWSE = h[8];
    main_ctl.标签_Apply = h[9];
    main_ctl.进度条_flashFlag = h[10];
    main_ctl.标签1 = h[11];
    main_ctl.Edit1 = h[12];
    main_ctl.wx_line_footer = h[13];
    main_ctl.BUTTON_STRAT = h[14];
    // The design colour of the logo box until the start-up sequence paints the banner.
    set_back_colour(main_ctl.Win_Logo, RGB(0, 136, 255));
    Image logo;
    if (load_resource_png(IDR_LOGO_PNG, logo)) picture_set_image(main_ctl.Win_Logo, logo);
    pages_set_current(main_ctl.选择夹_MAIN, 0);
}

// The close question: whatever asks the window to close.
void on_close(HWND window) {
    if (show_message("确定要退出吗？", "询问", box_style::question_yes_no_default_no) ==
        DialogAnswer::no)
        return;
    DestroyWindow(window);
}

LRESULT CALLBACK main_proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_CREATE:
        create_main_controls(h);
        return 0;
    case WM_COMMAND: {
        int id = LOWORD(wp), code = HIWORD(wp);
        if (id == IDCANCEL && lp == 0) { // Esc, through the dialog keyboard handling
            SendMessageA(h, WM_CLOSE, 0, 0);
            return 0;
        }
        if (id == id_start && code == BN_CLICKED) {
            on_start_clicked();
            return 0;
        }
        if (id == id_browse && code == BN_CLICKED) {
            on_browse_clicked();
            return 0;
        }
        if (id == id_output_edit && code == EN_CHANGE) {
            on_output_changed();
            return 0;
        }
        break;
    }
    case WM_TIMER:
        if (wp == TIME_FLAG) on_flash_tick();
        return 0;
    case WM_CLOSE:
        on_close(h);
        return 0;
    case WM_DESTROY:
        main_ctl = MainControls();
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(h, msg, wp, lp);
}

LRESULT CALLBACK driver_proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_NCHITTEST: {
        // Dragging anywhere on the window moves it.
        LRESULT hit = DefWindowProcA(h, msg, wp, lp);
        return hit == HTCLIENT ? HTCAPTION : hit;
    }
    case WM_DESTROY:
        driver_ctl = DriverControls();
        return 0;
    }
    return DefWindowProcA(h, msg, wp, lp);
}

void register_window_classes() {
    static bool done = false;
    if (done) return;
    done = true;
    register_toolkit_classes();
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.hIcon = LoadIconA(wc.hInstance, MAKEINTRESOURCEA(IDI_QUORVEL));
    wc.hIconSm = wc.hIcon;
    wc.lpfnWndProc = main_proc;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = main_window_class;
    RegisterClassExA(&wc);
    wc.lpfnWndProc = driver_proc;
    wc.hIcon = wc.hIconSm = nullptr;
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = driver_window_class;
    RegisterClassExA(&wc);
}

void centre_on_screen(int width, int height, int& x, int& y) {
    x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
}

void dispatch(MSG& m) {
    if (main_ctl.window && IsDialogMessageA(main_ctl.window, &m)) return;
    TranslateMessage(&m);
    DispatchMessageA(&m);
}

} // namespace

MainControls& main_controls() {
    return main_ctl;
}
DriverControls& driver_controls() {
    return driver_ctl;
}

HWND create_main_window() {
    register_window_classes();
    int x, y;
    centre_on_screen(main_width, main_height, x, y);
    return CreateWindowExA(
        0, main_window_class, main_window_caption,
        WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN, x, y,
        main_width, main_height, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
}

int run_message_loop() {
    MSG m;
    BOOL r;
    while ((r = GetMessageA(&m, nullptr, 0, 0)) != 0) {
        if (r == -1) return 0;
        dispatch(m);
    }
    return static_cast<int>(m.wParam);
}

void handle_waiting_events() {
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
        if (m.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(m.wParam));
            return;
        }
        dispatch(m);
    }
}

void set_timer_period(UINT_PTR timer, unsigned period_ms) {
    if (!main_ctl.window) return;
    if (period_ms == 0)
        KillTimer(main_ctl.window, timer);
    else
        SetTimer(main_ctl.window, timer, period_ms, nullptr);
}

void apply_enable_rule() {
    bool enable = pages_current(main_ctl.选择夹_MAIN) == 0 && !driver_window_exists();
    EnableWindow(main_ctl.编辑框1, enable);
    EnableWindow(main_ctl.BUTTON_BROWSE, enable);
    EnableWindow(main_ctl.BUTTON_STRAT, enable);
}

void open_driver_window() {
    if (driver_window_exists()) return;
    register_window_classes();
    int x, y;
    centre_on_screen(driver_width, driver_height, x, y);
    HWND w = CreateWindowExA(WS_EX_TOOLWINDOW, driver_window_class, "", WS_POPUP | WS_CLIPCHILDREN,
                             x, y, driver_width, driver_height, main_ctl.window, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
    if (!w) return;
    std::vector<HWND> h = create_controls(w, driver_table, std::size(driver_table), nullptr);
    driver_ctl = DriverControls{w, h[0], h[1], h[2]};
    if (!driver_label_font.get())
        driver_label_font.reset(CreateFontA(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                                            GB2312_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                            DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, "宋体"));
    SendMessageA(driver_ctl.标签_提示标签, WM_SETFONT,
                 reinterpret_cast<WPARAM>(driver_label_font.get()), TRUE);
    set_back_colour(driver_ctl.标签_提示标签, RGB(255, 255, 255));
    set_back_colour(driver_ctl.图片框1, RGB(255, 255, 255));
    make_progress_see_through(driver_ctl.进度条1);
    std::size_t size = 0;
    const unsigned char* gif = program_resource(IDR_BUSY_GIF, &size);
    GifAnimation busy;
    if (gif && decode_gif(gif, size, busy)) picture_set_animation(driver_ctl.图片框1, busy);
    ShowWindow(w, SW_SHOW);
}

bool driver_window_exists() {
    return driver_ctl.window && IsWindow(driver_ctl.window);
}

void destroy_driver_window() {
    if (driver_window_exists()) DestroyWindow(driver_ctl.window);
    driver_ctl = DriverControls();
}

} // namespace quorvel
