// Starting a command line as a new process with a hidden window.
#pragma once
#include "core/text.hpp"

namespace quorvel {

// No handle inheritance, the program's current directory and environment. With `wait` it waits
// for the process to end (no time limit, no window events handled meanwhile); without, it
// returns once the process is ready for input or after at most 1000 ms. True when the process
// was created; its handles are closed at once.
bool run_command(const Text& command_line, bool wait);

} // namespace quorvel
