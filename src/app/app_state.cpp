#include "app/app_state.hpp"

namespace quorvel {
namespace {
AppState state;
ConsoleBridge* bridge = nullptr;
OutputPump* pump = nullptr;
} // namespace

AppState& app_state() {
    return state;
}
ConsoleBridge& console_bridge() {
    return *bridge;
}
OutputPump& output_pump() {
    return *pump;
}

void create_program_records() {
    if (!bridge) bridge = new ConsoleBridge();
    if (!pump) pump = new OutputPump();
    bridge->open = false;
}

void release_program_records() {
    state.firmware_path.clear();
    state.tool_path.clear();
    state.download_dir.clear();
    state.success_marker.clear();
    if (bridge && (bridge->open || live_readers() > 0)) {
        // Readers still use both records; they end with the process.
        return;
    }
    delete pump;
    pump = nullptr;
    delete bridge;
    bridge = nullptr;
}

void end_program(int code) {
    release_program_records();
    ExitProcess(static_cast<UINT>(code));
}

} // namespace quorvel
