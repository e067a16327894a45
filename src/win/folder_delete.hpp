#pragma once

#include "core/text.hpp"

namespace quorvel {

// Deletes a folder with everything in it: files (read-only ones too), then subfolders, then the
// folder itself. Leading spaces of the path are ignored; an empty path and a drive's root are
// refused. True when the folder is gone.
bool delete_folder_tree(const Text& path);

} // namespace quorvel
