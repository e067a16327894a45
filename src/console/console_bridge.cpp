#include "console/console_bridge.hpp"

#include "core/text.hpp"
#include "win/process.hpp"

#include <vector>

namespace quorvel {
namespace {

constexpr UINT interpreter_exit_code = 3389;
constexpr DWORD startup_flags = 257; // STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES

// ASCII letters only, as the commands are ASCII words.
bool equals_ignoring_case(const Text& a, const char* word) {
    std::size_t n = 0;
    for (; word[n]; ++n) {
        if (n >= a.size()) return false;
        char c = a[n];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != word[n]) return false;
    }
    return n == a.size() && n > 0;
}

void close_and_forget(HANDLE& h) {
    if (h) CloseHandle(h);
    // A later read or write fails instead of reaching whatever reuses the value.
    h = nullptr;
}

// Keeps cancelling the read of the session's reader until every reader has let go. A child of
// the interpreter may still hold the pipe's write end, so the read would otherwise never end;
// a cancel that comes just before the reader enters its read is simply repeated.
DWORD WINAPI wake_readers(void* p) {
    auto* s = static_cast<BridgeSession*>(p);
    while (s->references.load() > 1) {
        {
            std::lock_guard<std::mutex> g(s->reading_guard);
            if (s->reading_thread) CancelSynchronousIo(s->reading_thread);
        }
        Sleep(10);
    }
    session_release(s);
    return 0;
}

} // namespace

void session_acquire(BridgeSession* s) {
    s->references.fetch_add(1);
}

void session_release(BridgeSession* s) {
    if (s->references.fetch_sub(1) != 1) return;
    DeleteCriticalSection(&s->lock);
    if (s->read_end) CloseHandle(s->read_end);
    delete s;
}

Text system_directory() {
    char buf[260] = {};
    UINT n = GetSystemDirectoryA(buf, sizeof buf);
    Text dir = (n > 0 && n < sizeof buf) ? Text(buf, n) : Text();
    dir = trim_text(dir);
    while (!dir.empty() && dir.back() == '\\')
        dir.pop_back();
    return dir;
}

DWORD open_bridge(ConsoleBridge& b, const Text* command_line, const Text* working_directory) {
    if (!is_nt_family()) return 0;
    if (b.open) return b.process.dwProcessId;

    b.in_pipe_attributes = {sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    if (!CreatePipe(&b.in_read, &b.in_write, &b.in_pipe_attributes, 0)) return 0;
    b.out_pipe_attributes = {sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    if (!CreatePipe(&b.out_read, &b.out_write, &b.out_pipe_attributes, 0)) {
        close_and_forget(b.in_read);
        close_and_forget(b.in_write);
        return 0;
    }

    GetStartupInfoA(&b.startup_info);
    b.startup_info.dwFlags = startup_flags;
    b.startup_info.hStdInput = b.in_read;
    b.startup_info.hStdOutput = b.out_write;
    b.startup_info.hStdError = b.out_write;
    b.startup_info.wShowWindow = SW_HIDE;

    Text directory = working_directory ? *working_directory : system_directory() + "\\";
    Text line = command_line ? *command_line : Text("cmd.exe");
    std::vector<char> line_buf(line.begin(), line.end());
    line_buf.push_back('\0');
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(nullptr, line_buf.data(), nullptr, nullptr, TRUE, 0, nullptr,
                        directory.c_str(), &b.startup_info, &pi)) {
        close_and_forget(b.in_read);
        close_and_forget(b.out_read);
        close_and_forget(b.in_write);
        close_and_forget(b.out_write);
        return 0;
    }
    b.process = pi;

    auto* s = new BridgeSession;
    InitializeCriticalSection(&s->lock);
    // Made after the interpreter started, so it is not inherited.
    DuplicateHandle(GetCurrentProcess(), b.out_read, GetCurrentProcess(), &s->read_end, 0, FALSE,
                    DUPLICATE_SAME_ACCESS);
    b.session = s;
    b.lock = &s->lock;
    b.open = true;
    return pi.dwProcessId;
}

int send_line(ConsoleBridge& b, const Text& text) {
    if (!b.open) return 0;
    Text t = trim_text(text);
    if (equals_ignoring_case(t, "exit")) {
        close_bridge(b);
        return 4;
    }
    if (equals_ignoring_case(t, "cls")) {
        Text prompt = system_directory() + ">";
        DWORD written = 0;
        if (b.out_write)
            WriteFile(b.out_write, prompt.data(), static_cast<DWORD>(prompt.size()), &written,
                      nullptr);
        return 3;
    }
    Text line = t + "\r\n";
    DWORD written = 0;
    if (!b.in_write ||
        !WriteFile(b.in_write, line.data(), static_cast<DWORD>(line.size()), &written, nullptr))
        return 0;
    return static_cast<int>(written);
}

bool close_bridge(ConsoleBridge& b) {
    if (!b.open) return false;
    if (BridgeSession* s = b.session) {
        s->closed.store(true);
        b.session = nullptr;
        b.lock = nullptr;
        // The bridge's share goes to the waker, which drops it once the readers are gone.
        HANDLE waker = CreateThread(nullptr, 64 * 1024, wake_readers, s,
                                    STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
        if (waker)
            CloseHandle(waker);
        else
            session_release(s);
    }
    close_and_forget(b.in_read);
    close_and_forget(b.out_read);
    close_and_forget(b.in_write);
    close_and_forget(b.out_write);
    if (!terminate_process(b.process.dwProcessId, interpreter_exit_code)) return false;
    if (b.process.hProcess) CloseHandle(b.process.hProcess);
    if (b.process.hThread) CloseHandle(b.process.hThread);
    b.process.hProcess = b.process.hThread = nullptr;
    b.open = false;
    return true;
}

} // namespace quorvel
