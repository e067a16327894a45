#pragma once

#include "core/text.hpp"

namespace quorvel {

// Whether a folder may be deleted with everything in it. Leading spaces are ignored; an empty
// path, a drive's root ("C:", "C:\", "c:/") and the root of the current drive ("\", "/") are
// refused.
bool is_deletable_folder_path(const Text& path);

} // namespace quorvel
