// The start-up sequence: runs once the main window and its controls exist.
#pragma once

namespace quorvel {

// Returns only when every check has passed; otherwise shows why and ends the program with 0.
void run_startup_sequence();

} // namespace quorvel
