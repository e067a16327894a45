// Figures for the console bridge and the output pump. Prints; judges nothing.
//   console_bench EMIT.exe MEGABYTES MAX_READERS
// 1. MEGABYTES of output pushed through the bridge into a real edit box, beside the same
//    command writing to a file; the user-interface thread's CPU time for the drain.
// 2. Memory and address space with 150 readers waiting for the lock, then more readers until
//    creating a thread fails or MAX_READERS is reached.
#include "console/console_bridge.hpp"
#include "console/output_pump.hpp"
#include "win/system.hpp"

#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>

using namespace quorvel;

namespace {

double now_ms() {
    LARGE_INTEGER f, t;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t);
    return 1000.0 * static_cast<double>(t.QuadPart) / static_cast<double>(f.QuadPart);
}

double thread_cpu_ms(HANDLE thread) {
    FILETIME c, e, k, u;
    GetThreadTimes(thread, &c, &e, &k, &u);
    auto ms = [](FILETIME ft) {
        return (static_cast<double>(ft.dwHighDateTime) * 4294967296.0 + ft.dwLowDateTime) / 10000.0;
    };
    return ms(k) + ms(u);
}

void pump_messages() {
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&m);
        DispatchMessageA(&m);
    }
}

std::string box_text(HWND box) {
    int n = GetWindowTextLengthA(box);
    std::string s(static_cast<size_t>(n) + 1, '\0');
    int got = GetWindowTextA(box, s.data(), n + 1);
    s.resize(static_cast<size_t>(got > 0 ? got : 0));
    return s;
}

// Reserved and committed address space of this process, in MiB.
double address_space_mib() {
    SIZE_T total = 0;
    MEMORY_BASIC_INFORMATION mbi;
    for (char* p = nullptr; VirtualQuery(p, &mbi, sizeof mbi) == sizeof mbi;
         p = static_cast<char*>(mbi.BaseAddress) + mbi.RegionSize) {
        if (mbi.State != MEM_FREE) total += mbi.RegionSize;
        if (static_cast<char*>(mbi.BaseAddress) + mbi.RegionSize < p) break;
    }
    return total / 1048576.0;
}

void print_memory(const char* label) {
    PROCESS_MEMORY_COUNTERS pmc = {};
    pmc.cb = sizeof pmc;
    GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof pmc);
    std::printf("%-34s working set %7.1f MiB, private %7.1f MiB, address space %8.1f MiB\n", label,
                pmc.WorkingSetSize / 1048576.0, pmc.PagefileUsage / 1048576.0, address_space_mib());
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: console_bench EMIT.exe MEGABYTES MAX_READERS\n");
        return 2;
    }
    const std::string emit = argv[1];
    const unsigned long bytes = std::strtoul(argv[2], nullptr, 10) * 1000000UL;
    const int max_readers = std::atoi(argv[3]);

    HWND window = CreateWindowExA(0, "STATIC", "bench", WS_OVERLAPPEDWINDOW, 0, 0, 400, 200,
                                  nullptr, nullptr, nullptr, nullptr);
    HWND box = CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", "",
                               WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL |
                                   ES_WANTRETURN,
                               9, 48, 392, 64, window, nullptr, nullptr, nullptr);
    const std::string prompt = system_directory() + ">";

    // 1. Drain rate.
    ConsoleBridge bridge;
    OutputPump pump;
    if (!open_bridge(bridge) || !start_pump(pump, bridge, window, box)) return 1;
    while (box_text(box).find(prompt) == std::string::npos) {
        pump_messages();
        Sleep(1);
    }
    HANDLE ui = GetCurrentThread();
    double cpu0 = thread_cpu_ms(ui), t0 = now_ms();
    // Done when the word echoed after the stream has reached the box.
    send_line(bridge, emit + " stream " + std::to_string(bytes) + " & echo DRAINED");
    while (box_text(box).find("DRAINED\r\n") == std::string::npos) {
        pump_messages();
        Sleep(0);
    }
    double drain_ms = now_ms() - t0, ui_cpu = thread_cpu_ms(ui) - cpu0;
    close_bridge(bridge);

    std::string file = temp_dir() + "console_bench.out";
    std::string line = "cmd /c " + emit + " stream " + std::to_string(bytes) + " > " + file;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    double f0 = now_ms();
    if (CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                       nullptr, &si, &pi)) {
        WaitForSingleObject(pi.hProcess, INFINITE);
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
    }
    double file_ms = now_ms() - f0;
    DeleteFileA(file.c_str());
    double mb = bytes / 1000000.0;
    std::printf(
        "%.0f MB through the bridge into the box:  %8.0f ms, %6.1f MB/s, UI thread CPU %.0f ms\n",
        mb, drain_ms, mb / (drain_ms / 1000.0), ui_cpu);
    std::printf("%.0f MB from the same command to a file:  %8.0f ms, %6.1f MB/s\n", mb, file_ms,
                mb / (file_ms / 1000.0));

    // 2. Waiting readers.
    while (live_readers() > 0) {
        pump_messages();
        Sleep(5);
    }
    print_memory("before the readers:");
    ConsoleBridge held;
    if (!open_bridge(held)) return 1;
    int started = 0;
    for (; started < 150; ++started)
        if (!start_pump(pump, held, window, box)) break;
    Sleep(300);
    pump_messages();
    print_memory("with 150 readers waiting:");
    for (; started < max_readers; ++started)
        if (!start_pump(pump, held, window, box)) break;
    pump_messages();
    char label[64];
    std::snprintf(label, sizeof label, "with %d readers waiting:", started);
    print_memory(label);
    if (started < max_readers)
        std::printf("creating reader %d failed (error %lu)\n", started + 1, GetLastError());
    else
        std::printf("no failure up to %d readers (%d-bit process, 64 KiB stack reserved each)\n",
                    started, static_cast<int>(sizeof(void*) * 8));
    close_bridge(held);
    while (live_readers() > 0) {
        pump_messages();
        Sleep(5);
    }
    return 0;
}
