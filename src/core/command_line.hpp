// Command lines for cmd.exe.
#pragma once
#include "core/text.hpp"

namespace quorvel {

// `cmd /c` strips the first and the last double quote of its command when the command starts
// with one, so a command whose program and arguments are quoted is wrapped in one more pair.
// Each path is quoted, so spaces in the temporary directory or the image's path do no harm.
Text flash_command_line(const Text& tool_path, const Text& firmware_path);

} // namespace quorvel
