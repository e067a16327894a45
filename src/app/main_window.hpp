// The main window, its pages, the enable rule and the driver window.
#pragma once
#include <windows.h>

namespace quorvel {

// Control numbers (WM_COMMAND ids) and timer numbers of the main window.
enum : int {
    id_wx_background = 1001,
    id_win_logo,
    id_pages,
    id_page_home,
    id_page_loading,
    id_page_editbox,
    id_tips,
    id_firmware_edit,
    id_browse,
    id_apply,
    id_flash_progress,
    id_output_label,
    id_output_edit,
    id_footer,
    id_start,
};
enum : UINT_PTR { TIME_FLAG = 1, TIME1 = 2 };

constexpr COLORREF banner_colour = RGB(8, 186, 232);
extern const char* const main_window_caption;
extern const char* const main_window_class;
extern const char* const driver_window_class;

struct MainControls {
    HWND window = nullptr;
    HWND wx_background = nullptr;
    HWND Win_Logo = nullptr;
    HWND 选择夹_MAIN = nullptr;
    HWND 标签_Tips = nullptr;
    HWND 编辑框1 = nullptr;
    HWND BUTTON_BROWSE = nullptr;
    HWND 标签_Apply = nullptr;
    HWND 进度条_flashFlag = nullptr;
    HWND 标签1 = nullptr;
    HWND Edit1 = nullptr;
    HWND wx_line_footer = nullptr;
    HWND BUTTON_STRAT = nullptr;
};

struct DriverControls {
    HWND window = nullptr;
    HWND 图片框1 = nullptr;
    HWND 标签_提示标签 = nullptr;
    HWND 进度条1 = nullptr;
};

MainControls& main_controls();
DriverControls& driver_controls();

// Creates the main window and its controls, centred and not yet shown.
HWND create_main_window();

// Runs the message loop until the main window has closed; returns the exit code.
int run_message_loop();
// Handles the window events that are waiting, then returns.
void handle_waiting_events();

// Sets a timer of the main window; 0 stops it.
void set_timer_period(UINT_PTR timer, unsigned period_ms);

void apply_enable_rule();

void open_driver_window();
bool driver_window_exists();
void destroy_driver_window();

} // namespace quorvel
