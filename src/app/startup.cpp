#include "app/startup.hpp"

#include "app/app_state.hpp"
#include "app/main_window.hpp"
#include "app/settings.hpp"
#include "console/console_bridge.hpp"
#include "core/startup.hpp"
#include "core/version.hpp"
#include "win/folder_delete.hpp"
#include "win/message_box.hpp"
#include "win/ping.hpp"
#include "win/system.hpp"
#include "win/system_info.hpp"
#include "win/ui.hpp"
#include "win/zip_extract.hpp"

#include "resource_ids.h"

namespace quorvel {
namespace {

constexpr unsigned ping_timeout_ms = 2000;

[[noreturn]] void refuse_start(const Text& message) {
    show_message(message, "提示", box_style::exclamation_ok);
    end_program(0);
}

} // namespace

void run_startup_sequence() {
    SystemInfo info = query_system_info();

    if (!version_supported(info.version_text))
        refuse_start(info.product_name +
                     " 已经不再被支持！\r\n如需要部署固件，请使用Nokia Care Suite软件。");

    handle_waiting_events();
    if (!ping_answered(ping_travel_time(settings::ping_host, ping_timeout_ms)))
        refuse_start("无法连接到互联网！");

    MainControls& ui = main_controls();
    set_back_colour(ui.wx_background, banner_colour);
    set_back_colour(ui.Win_Logo, banner_colour);

    StartupPaths paths = startup_paths(temp_dir());
    delete_folder_tree(paths.tool_folder);

    std::size_t size = 0;
    const unsigned char* archive = program_resource(IDR_TOOL_ARCHIVE, &size);
    if (archive) write_whole_file(paths.archive_file, archive, size);
    if (zip_extract(paths.archive_file, temp_dir()) != 1)
        refuse_start("释放数据失败，请关闭杀软后再试！");
    delete_file(paths.archive_file);

    AppState& state = app_state();
    state.tool_path = startup_paths(temp_dir()).tool_path;
    state.download_dir = startup_paths(temp_dir()).download_dir;
    // The prompt after the command shows the interpreter's working directory, the system
    // directory, so the marker's drive is that directory's drive (TEMP may lie elsewhere).
    Text prompt_drive = system_directory();
    state.success_marker = success_marker(&prompt_drive);
}

} // namespace quorvel
