#include "app/events.hpp"
#include "app/main_window.hpp"

namespace quorvel {

void on_start_clicked() {
    // The start request and its device check run here once the flash workflow is in place.
    apply_enable_rule();
}

} // namespace quorvel
