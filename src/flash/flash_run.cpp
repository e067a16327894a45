#include "flash/flash_run.hpp"

#include "app/app_state.hpp"
#include "app/main_window.hpp"
#include "console/console_bridge.hpp"
#include "console/output_pump.hpp"
#include "core/command_line.hpp"
#include "core/verdict.hpp"
#include "win/message_box.hpp"
#include "win/run_command.hpp"
#include "win/system.hpp"
#include "win/ui.hpp"

#include <commctrl.h>

#include <atomic>

namespace quorvel {
namespace {

constexpr const char* box_title = "提示";
std::atomic<std::uint32_t> log_name_counter{0};

Text window_text(HWND w) {
    int n = GetWindowTextLengthA(w);
    Text t(static_cast<std::size_t>(n > 0 ? n : 0) + 1, '\0');
    int got = GetWindowTextA(w, t.data(), n + 1);
    t.resize(static_cast<std::size_t>(got > 0 ? got : 0));
    return t;
}

} // namespace

Text error_log_text(const Text& firmware_path, const Text& tool_output) {
    return "固件：" + firmware_path + "\r\n\r\nffutool 输出：\r\n" + tool_output + "\r\n";
}

bool start_flash() {
    ConsoleBridge& bridge = console_bridge();
    if (open_bridge(bridge) == 0) {
        show_message("创建控制台进程失败！", box_title, box_style::exclamation_ok);
        return false;
    }
    const AppState& s = app_state();
    if (send_line(bridge, flash_command_line(s.tool_path, s.firmware_path)) == 0) {
        show_message("发送命令失败！", box_title, box_style::exclamation_ok);
        return false;
    }
    return true;
}

void on_flash_tick() {
    MainControls& ui = main_controls();
    LRESULT pos = SendMessageA(ui.进度条_flashFlag, PBM_GETPOS, 0, 0);
    SendMessageA(ui.进度条_flashFlag, PBM_SETPOS, static_cast<WPARAM>(pos + 1), 0);
    if (SendMessageA(ui.进度条_flashFlag, PBM_GETPOS, 0, 0) > 93)
        SetWindowTextA(ui.标签_Apply, "即将完成...");
    if (!start_pump(output_pump(), console_bridge(), ui.window, ui.Edit1)) {
        show_message("取回结果失败！", box_title, box_style::exclamation_ok);
        set_timer_period(TIME_FLAG, 0);
        pages_set_current(ui.选择夹_MAIN, 0);
    }
}

void on_output_changed() {
    MainControls& ui = main_controls();
    if (count_occurrences(window_text(ui.Edit1), ">", false) < 2) return;
    Text log_name =
        free_log_name(temp_dir(), GetTickCount() + log_name_counter.fetch_add(1), file_exists);
    set_timer_period(TIME_FLAG, 0);
    pages_set_current(ui.选择夹_MAIN, 0);
    close_bridge(console_bridge());
    const Text output = window_text(ui.Edit1);
    if (judge_output(output, app_state().success_marker) == Verdict::success) {
        SendMessageA(ui.进度条_flashFlag, PBM_SETPOS, 100, 0);
        set_timer_period(TIME_FLAG, 0);
        set_timer_period(TIME1, 0);
        show_message("已经成功将镜像写入至Windows Phone设备\r\n设备将自动重启...", box_title,
                     box_style::information_ok);
        return;
    }
    show_message("很抱歉，应用固件失败，请查看错误日志！", box_title, box_style::exclamation_ok);
    Text log = error_log_text(app_state().firmware_path, output);
    write_whole_file(log_name, log.data(), log.size());
    run_command("cmd /c notepad \"" + log_name + "\"", false);
}

} // namespace quorvel
