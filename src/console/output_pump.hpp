// Copies the interpreter's output into an edit box.
#pragma once
#include "core/text.hpp"

#include <windows.h>

namespace quorvel {

struct OutputPump {
    HWND target_window = nullptr;
    HWND target_control = nullptr;
    Text last_chunk;
};

} // namespace quorvel
