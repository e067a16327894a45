#include "win/file_dialog.hpp"

namespace quorvel {
namespace {
OpenFileFunction current = GetOpenFileNameA;
} // namespace

BOOL show_open_file_dialog(OPENFILENAMEA* record) {
    return current(record);
}

OpenFileFunction set_open_file_function(OpenFileFunction f) {
    OpenFileFunction old = current;
    current = f ? f : GetOpenFileNameA;
    return old;
}

} // namespace quorvel
