// The flash run: the tool's command in the console bridge, the clock on the progress bar, and
// the verdict once the interpreter's prompt has come back.
#pragma once
#include "core/text.hpp"

namespace quorvel {

// Opens the bridge and sends the flash command; false after telling the user why.
bool start_flash();
// The periodic event of TIME_FLAG.
void on_flash_tick();
// The change event of Edit1.
void on_output_changed();

// What the error log holds: the image's path and the tool's output.
Text error_log_text(const Text& firmware_path, const Text& tool_output);

} // namespace quorvel
