#include "win/run_command.hpp"

#include <windows.h>

#include <vector>

namespace quorvel {

bool run_command(const Text& command_line, bool wait) {
    std::vector<char> line(command_line.begin(), command_line.end());
    line.push_back('\0');
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi))
        return false;
    if (wait)
        WaitForSingleObject(pi.hProcess, INFINITE);
    else
        WaitForInputIdle(pi.hProcess, 1000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return true;
}

} // namespace quorvel
