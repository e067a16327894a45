// Decisions of the start-up sequence that need no Windows.
#pragma once
#include "core/text.hpp"

namespace quorvel {

// Paths under the temporary directory. `temp_dir` ends with a backslash and every tail begins
// with one, so each path holds a doubled backslash; the file system accepts that and the paths
// are kept as they are.
struct StartupPaths {
    Text tool_folder;  // deleted before unpacking
    Text archive_file; // the tool archive written out, unpacked, deleted
    Text tool_path;    // the flashing tool's program
    Text download_dir; // the recovery tool installer's folder
};
StartupPaths startup_paths(const Text& temp_dir);

// CR LF CR LF and the first two bytes of `drive_source` (fewer when it is shorter, none when
// there is none): the drive that the interpreter's prompt shows.
Text success_marker(const Text* drive_source);

// Whether the connectivity check's result means the host answered. Any echo reply counts, a
// travel time of 0 ms included; only -1 (no reply, no name, no service) means no connection.
bool ping_answered(int travel_time_ms);

} // namespace quorvel
