// Event handlers of the main window that belong to the subsystems.
#pragma once

namespace quorvel {

// Click of BUTTON_STRAT: the start request, then the enable rule.
void on_start_clicked();

} // namespace quorvel
