#include "win/system_info.hpp"

#include "core/version.hpp"
#include "core/windows_name.hpp"

#include <windows.h>

namespace quorvel {

SystemInfo query_system_info() {
    SystemInfo info;
    OSVERSIONINFOEXA v = {};
    v.dwOSVersionInfoSize = sizeof v;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    BOOL ok = GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&v));
#pragma GCC diagnostic pop
    if (!ok) {
        info.product_name = "Failed in call to GetOSVersion";
        info.version_text = "unknown";
        return info;
    }
    info.platform_id = v.dwPlatformId;
    info.version_text =
        version_text(static_cast<int>(v.dwMajorVersion), static_cast<int>(v.dwMinorVersion));
    // Named from what GetVersionExA reports, so a compatibility setting that claims an older
    // Windows is named as that Windows.
    info.product_name =
        windows_product_name(static_cast<int>(v.dwMajorVersion), static_cast<int>(v.dwMinorVersion),
                             v.wProductType != VER_NT_WORKSTATION,
                             (v.wSuiteMask & VER_SUITE_PERSONAL) != 0, v.szCSDVersion);
    return info;
}

} // namespace quorvel
