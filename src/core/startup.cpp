#include "core/startup.hpp"

namespace quorvel {

StartupPaths startup_paths(const Text& temp_dir) {
    return StartupPaths{
        temp_dir + "\\ffutool",
        temp_dir + "\\tmp_tool.zip",
        temp_dir + "\\ffutool\\ffutool.exe",
        temp_dir + "\\wprtsoftware_",
    };
}

Text success_marker(const Text* drive_source) {
    Text marker = "\r\n\r\n";
    if (drive_source) marker += drive_source->substr(0, 2);
    return marker;
}

bool ping_answered(int travel_time_ms) {
    return travel_time_ms >= 0;
}

} // namespace quorvel
