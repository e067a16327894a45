#pragma once

#include "core/text.hpp"

namespace quorvel {

// Unpacks the ZIP archive at `archive_path` into `target_dir`, creating that folder (one level)
// when it does not exist. Existing files are replaced, read-only ones included. 1 when every entry
// has been unpacked, -1 otherwise (no archive, no target, not a ZIP archive, a failed write).
int zip_extract(const Text& archive_path, const Text& target_dir);

} // namespace quorvel
