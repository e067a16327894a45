// What the running Windows says about itself.
#pragma once
#include "core/text.hpp"

namespace quorvel {

struct SystemInfo {
    Text product_name; // e.g. "Windows 7 Professional"
    Text version_text; // major "." two-digit minor, e.g. "6.01"
    unsigned platform_id = 0;
};

// "Failed in call to GetOSVersion" and "unknown" when the version cannot be read.
SystemInfo query_system_info();

} // namespace quorvel
