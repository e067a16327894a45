// The program-wide records: AppState, the console bridge and the output pump.
#pragma once
#include "console/console_bridge.hpp"
#include "console/output_pump.hpp"
#include "core/text.hpp"

#include <windows.h>

namespace quorvel {

struct AppState {
    Text firmware_path;
    Text tool_path;
    Text download_dir;
    Text success_marker;
    int download_file = 0;
    HANDLE download_thread = nullptr;
    CRITICAL_SECTION* update_lock = nullptr; // made at the first activation
    HANDLE update_thread = nullptr;
};

AppState& app_state();
// Valid between create_program_records and release_program_records.
ConsoleBridge& console_bridge();
OutputPump& output_pump();

// Allocates the bridge's and the pump's records, empty, with the bridge not open.
void create_program_records();
// Releases the texts of AppState and both records.
void release_program_records();

// Releases the program-wide records and ends the process at once with `code`.
[[noreturn]] void end_program(int code);

} // namespace quorvel
