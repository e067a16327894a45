// Copies the interpreter's output into an edit box, one reader thread per call.
#pragma once
#include "console/console_bridge.hpp"
#include "core/text.hpp"

#include <windows.h>

namespace quorvel {

struct OutputPump {
    HWND target_window = nullptr;
    HWND target_control = nullptr;
    Text last_chunk; // written by the reader that holds the bridge's lock
};

// Stores the target; while the bridge is open starts one reader thread (its handle is not
// kept) and returns whether it could be started.
bool start_pump(OutputPump& pump, ConsoleBridge& bridge, HWND window, HWND control);

// Readers that have been started and not yet ended.
int live_readers();

// Stack reserved for each reader: they pile up, one per tick, during a long flash.
constexpr SIZE_T reader_stack_size = 64 * 1024;

} // namespace quorvel
