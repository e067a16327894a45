// A small automation helper: start the real program, find its windows and boxes, read their
// texts and press their buttons, as a user would.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace quorvel::test {

class ProgramRun {
public:
    // Starts `exe` (a full path) with the environment of the test plus `extra_env` ("NAME=value").
    explicit ProgramRun(const std::string& exe, const std::vector<std::string>& extra_env = {});
    ~ProgramRun();
    ProgramRun(const ProgramRun&) = delete;
    ProgramRun& operator=(const ProgramRun&) = delete;

    bool started() const { return process_ != nullptr; }
    DWORD pid() const { return pid_; }
    // Waits for the process to end; returns its exit code, or -1 on a time-out.
    long wait_exit(DWORD timeout_ms);
    bool running() const;

private:
    HANDLE process_ = nullptr;
    DWORD pid_ = 0;
};

// A visible top-level window of process `pid` with this class (nullptr: any) and title
// (nullptr: any), waited for up to `timeout_ms`.
HWND wait_window(DWORD pid, const char* class_name, const char* title, DWORD timeout_ms);

// The message text of a message box (its longest static text).
std::string box_text(HWND box);
// Presses a message box button by its command id (IDOK, IDYES, IDNO...).
void press_box_button(HWND box, int id);

std::string window_text(HWND w);
std::string class_of(HWND w);

// The temporary directory of this prefix, ending with a backslash (the program's too).
std::string temp_dir();

bool file_exists(const std::string& path);
void sleep_ms(DWORD ms);

} // namespace quorvel::test
