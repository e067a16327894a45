// Figures for the start-up: time from process start to a shown main window whose start-up has
// finished, peak memory then, and the tool extraction alone. Prints; judges nothing.
//   startup_bench PROGRAM.exe ARCHIVE.zip RUNS
#include "win/zip_extract.hpp"
#include "win/folder_delete.hpp"
#include "win/system.hpp"

#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

double now_ms() {
    static LARGE_INTEGER freq = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return 1000.0 * static_cast<double>(t.QuadPart) / static_cast<double>(freq.QuadPart);
}

bool exists(const std::string& p) {
    return GetFileAttributesA(p.c_str()) != INVALID_FILE_ATTRIBUTES;
}

struct Found {
    DWORD pid;
    HWND window;
};
BOOL CALLBACK find_main(HWND w, LPARAM lp) {
    auto* f = reinterpret_cast<Found*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    char cls[64];
    GetClassNameA(w, cls, sizeof cls);
    if (pid == f->pid && IsWindowVisible(w) && std::string(cls) == "QuorvelMainWindow") {
        f->window = w;
        return FALSE;
    }
    return TRUE;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: startup_bench PROGRAM.exe ARCHIVE.zip RUNS\n");
        return 2;
    }
    const std::string program = argv[1], archive = argv[2];
    const int runs = std::max(1, std::atoi(argv[3]));
    const std::string temp = quorvel::temp_dir();

    std::vector<double> shown, ready, extract;
    SIZE_T peak_ws = 0, peak_private = 0;
    for (int i = 0; i < runs; ++i) {
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi = {};
        std::string line = "\"" + program + "\"";
        double t0 = now_ms();
        if (!CreateProcessA(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                            nullptr, &si, &pi)) {
            std::fprintf(stderr, "cannot start %s\n", program.c_str());
            return 1;
        }
        Found f{pi.dwProcessId, nullptr};
        double t_shown = 0, t_ready = 0;
        while (now_ms() - t0 < 60000) {
            if (!f.window) {
                EnumWindows(find_main, reinterpret_cast<LPARAM>(&f));
                if (f.window) t_shown = now_ms() - t0;
            }
            // Finished: the tool is unpacked and the archive deleted, and the window answers.
            if (f.window && exists(temp + "ffutool\\ffutool.exe") &&
                !exists(temp + "tmp_tool.zip")) {
                DWORD_PTR r;
                if (SendMessageTimeoutA(f.window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &r)) {
                    t_ready = now_ms() - t0;
                    break;
                }
            }
            Sleep(1);
        }
        PROCESS_MEMORY_COUNTERS pmc = {};
        pmc.cb = sizeof pmc;
        if (GetProcessMemoryInfo(pi.hProcess, &pmc, sizeof pmc)) {
            peak_ws = std::max(peak_ws, pmc.PeakWorkingSetSize);
            peak_private = std::max(peak_private, pmc.PeakPagefileUsage);
        }
        TerminateProcess(pi.hProcess, 0);
        WaitForSingleObject(pi.hProcess, 10000);
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
        if (t_ready == 0) {
            std::fprintf(stderr, "run %d: the start-up did not finish\n", i + 1);
            return 1;
        }
        shown.push_back(t_shown);
        ready.push_back(t_ready);
        // Between program runs, so the files are in the cache as they are for the program.
        const std::string target = temp + "bench_extract\\";
        quorvel::delete_folder_tree(target);
        double e0 = now_ms();
        int r = quorvel::zip_extract(archive, target);
        extract.push_back(now_ms() - e0);
        if (r != 1) {
            std::fprintf(stderr, "extraction failed\n");
            return 1;
        }
    }
    std::printf("start to shown main window:            median %8.1f ms (min %.1f, %d runs)\n",
                median(shown), *std::min_element(shown.begin(), shown.end()), runs);
    std::printf("start to idle main window, tool ready: median %8.1f ms (min %.1f)\n",
                median(ready), *std::min_element(ready.begin(), ready.end()));
    std::printf("extraction alone (zip_extract):         median %8.1f ms (min %.1f)\n",
                median(extract), *std::min_element(extract.begin(), extract.end()));
    std::printf("peak working set after start-up:        %8.1f MiB\n", peak_ws / 1048576.0);
    std::printf("peak private bytes after start-up:      %8.1f MiB\n", peak_private / 1048576.0);
    return 0;
}
