// Handling the test thread's window messages while waiting for something to happen.
#pragma once
#include <windows.h>

namespace quorvel::test {

inline void pump_messages() {
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
        if (m.message == WM_QUIT) continue; // a test's window closing ends no loop here
        TranslateMessage(&m);
        DispatchMessageA(&m);
    }
}

// Handles messages until `done()` or the time-out; whether `done()` came true.
template <typename F> bool pump_until(F done, DWORD timeout_ms) {
    DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > timeout_ms) return false;
        pump_messages();
        Sleep(5);
    }
    return true;
}

inline void pump_for(DWORD ms) {
    pump_until([] { return false; }, ms);
}

} // namespace quorvel::test
