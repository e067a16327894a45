#include "console/output_pump.hpp"

#include "core/output_cap.hpp"

#include <atomic>
#include <cstring>
#include <vector>

namespace quorvel {
namespace {

constexpr DWORD read_size = 260;
std::atomic<int> readers_alive{0};

struct ReaderStart {
    BridgeSession* session;
    OutputPump* pump;
    HWND box;
};

// The box's whole text, measured in bytes, through the user-interface thread.
std::size_t box_text_bytes(HWND box) {
    LRESULT n = SendMessageA(box, WM_GETTEXTLENGTH, 0, 0);
    std::vector<char> buf(static_cast<std::size_t>(n > 0 ? n : 0) + 1);
    LRESULT got = SendMessageA(box, WM_GETTEXT, buf.size(), reinterpret_cast<LPARAM>(buf.data()));
    return got > 0 ? std::strlen(buf.data()) : 0;
}

void append(HWND box, const Text& chunk) {
    if (output_needs_emptying(box_text_bytes(box), chunk.size()))
        SendMessageA(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""));
    LRESULT end = SendMessageA(box, WM_GETTEXTLENGTH, 0, 0);
    SendMessageA(box, EM_SETSEL, end, end);
    SendMessageA(box, EM_SCROLLCARET, 0, 0);
    SendMessageA(box, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(chunk.c_str()));
}

bool read_chunk(BridgeSession& s, HANDLE self, char* buf, DWORD* got) {
    {
        std::lock_guard<std::mutex> g(s.reading_guard);
        if (s.closed.load()) return false;
        s.reading_thread = self;
    }
    BOOL ok = ReadFile(s.read_end, buf, read_size, got, nullptr);
    std::lock_guard<std::mutex> g(s.reading_guard);
    s.reading_thread = nullptr;
    return ok && *got > 0;
}

DWORD WINAPI reader(void* p) {
    ReaderStart start = *static_cast<ReaderStart*>(p);
    delete static_cast<ReaderStart*>(p);
    BridgeSession& s = *start.session;
    HANDLE self = nullptr;
    DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &self, 0, FALSE,
                    DUPLICATE_SAME_ACCESS);

    EnterCriticalSection(&s.lock);
    if (!s.closed.load()) {
        SendMessageA(start.box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""));
        char buf[read_size];
        DWORD got = 0;
        while (read_chunk(s, self, buf, &got)) {
            // Once closed, the box keeps the final output.
            if (s.closed.load()) break;
            Text chunk(buf, strnlen(buf, got));
            start.pump->last_chunk = chunk;
            append(start.box, chunk);
        }
    }
    LeaveCriticalSection(&s.lock);
    if (self) CloseHandle(self);
    session_release(&s);
    readers_alive.fetch_sub(1);
    return 0;
}

} // namespace

int live_readers() {
    return readers_alive.load();
}

bool start_pump(OutputPump& pump, ConsoleBridge& bridge, HWND window, HWND control) {
    pump.target_window = window;
    pump.target_control = control;
    if (!bridge.open || !bridge.session) return false;
    session_acquire(bridge.session);
    readers_alive.fetch_add(1);
    auto* start = new ReaderStart{bridge.session, &pump, control};
    HANDLE t = CreateThread(nullptr, reader_stack_size, reader, start,
                            STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (!t) {
        delete start;
        session_release(bridge.session);
        readers_alive.fetch_sub(1);
        return false;
    }
    CloseHandle(t);
    return true;
}

} // namespace quorvel
