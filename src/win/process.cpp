#include "win/process.hpp"

namespace quorvel {
namespace {

bool real_terminate(DWORD process_id, UINT exit_code) {
    HANDLE p = OpenProcess(PROCESS_TERMINATE, FALSE, process_id);
    if (!p) return false;
    BOOL ok = TerminateProcess(p, exit_code);
    CloseHandle(p);
    return ok != 0;
}

TerminateFunction current = real_terminate;

} // namespace

bool terminate_process(DWORD process_id, UINT exit_code) {
    return current(process_id, exit_code);
}

TerminateFunction set_terminate_function(TerminateFunction f) {
    TerminateFunction old = current;
    current = f ? f : real_terminate;
    return old;
}

bool is_nt_family() {
    OSVERSIONINFOA v = {};
    v.dwOSVersionInfoSize = sizeof v;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    BOOL ok = GetVersionExA(&v);
#pragma GCC diagnostic pop
    return ok && v.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

} // namespace quorvel
