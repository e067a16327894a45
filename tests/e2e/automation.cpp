#include "automation.hpp"

#include <cstring>

namespace quorvel::test {

ProgramRun::ProgramRun(const std::string& exe, const std::vector<std::string>& extra_env) {
    std::vector<char> env;
    if (!extra_env.empty()) {
        char* block = GetEnvironmentStringsA();
        for (const char* p = block; *p; p += std::strlen(p) + 1) {
            std::string entry = p;
            bool replaced = false;
            for (const std::string& e : extra_env)
                if (_strnicmp(entry.c_str(), e.c_str(), e.find('=') + 1) == 0) replaced = true;
            if (!replaced) env.insert(env.end(), entry.c_str(), entry.c_str() + entry.size() + 1);
        }
        FreeEnvironmentStringsA(block);
        for (const std::string& e : extra_env)
            env.insert(env.end(), e.c_str(), e.c_str() + e.size() + 1);
        env.push_back('\0');
    }
    std::string line = "\"" + exe + "\"";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (CreateProcessA(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0,
                       env.empty() ? nullptr : env.data(), nullptr, &si, &pi)) {
        process_ = pi.hProcess;
        pid_ = pi.dwProcessId;
        CloseHandle(pi.hThread);
    }
}

ProgramRun::~ProgramRun() {
    if (!process_) return;
    if (running()) {
        TerminateProcess(process_, 99);
        WaitForSingleObject(process_, 5000);
    }
    CloseHandle(process_);
}

long ProgramRun::wait_exit(DWORD timeout_ms) {
    if (!process_ || WaitForSingleObject(process_, timeout_ms) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    return static_cast<long>(code);
}

bool ProgramRun::running() const {
    return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

namespace {
struct Search {
    DWORD pid;
    const char* cls;
    const char* title;
    HWND found;
};
BOOL CALLBACK match_window(HWND w, LPARAM lp) {
    auto* s = reinterpret_cast<Search*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if (pid != s->pid || !IsWindowVisible(w)) return TRUE;
    if (s->cls && class_of(w) != s->cls) return TRUE;
    if (s->title && window_text(w) != s->title) return TRUE;
    s->found = w;
    return FALSE;
}
} // namespace

HWND wait_window(DWORD pid, const char* class_name, const char* title, DWORD timeout_ms) {
    DWORD start = GetTickCount();
    for (;;) {
        Search s{pid, class_name, title, nullptr};
        EnumWindows(match_window, reinterpret_cast<LPARAM>(&s));
        if (s.found) return s.found;
        if (GetTickCount() - start > timeout_ms) return nullptr;
        Sleep(50);
    }
}

namespace {
BOOL CALLBACK longest_static(HWND w, LPARAM lp) {
    auto* best = reinterpret_cast<std::string*>(lp);
    if (_stricmp(class_of(w).c_str(), "Static") == 0) {
        std::string t = window_text(w);
        if (t.size() > best->size()) *best = t;
    }
    return TRUE;
}
} // namespace

std::string box_text(HWND box) {
    std::string best;
    EnumChildWindows(box, longest_static, reinterpret_cast<LPARAM>(&best));
    return best;
}

void press_box_button(HWND box, int id) {
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(box, id)));
}

std::string window_text(HWND w) {
    char buf[2048];
    int n = GetWindowTextA(w, buf, sizeof buf);
    return std::string(buf, n > 0 ? n : 0);
}

std::string class_of(HWND w) {
    char buf[256];
    int n = GetClassNameA(w, buf, sizeof buf);
    return std::string(buf, n > 0 ? n : 0);
}

std::string temp_dir() {
    char buf[MAX_PATH + 1];
    DWORD n = GetTempPathA(sizeof buf, buf);
    std::string d(buf, n);
    if (d.empty() || d.back() != '\\') d += '\\';
    return d;
}

bool file_exists(const std::string& path) {
    DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

void sleep_ms(DWORD ms) {
    Sleep(ms);
}

} // namespace quorvel::test
