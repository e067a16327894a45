// Build-time settings of the program (set per executable by the build).
#pragma once

namespace quorvel::settings {

extern const char* const ping_host;
extern const char* const update_host;
extern const char* const shortlink_base;

} // namespace quorvel::settings
