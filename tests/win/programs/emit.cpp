// A small program of the tests that writes known output to its standard output.
//   emit bytes N CHAR [SLEEP_MS]   N bytes of CHAR in one write, then waits
//   emit nul [SLEEP_MS]            "abc", a NUL byte, "def" in one write, then waits
//   emit sleep MS                  writes nothing, holds its standard output for MS
//   emit stream TOTAL              TOTAL bytes of text in 4096-byte writes
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

static void write_all(const char* p, DWORD n) {
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    while (n > 0) {
        DWORD w = 0;
        if (!WriteFile(out, p, n, &w, nullptr) || w == 0) return;
        p += w;
        n -= w;
    }
}

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    std::string mode = argv[1];
    if (mode == "bytes" && argc >= 4) {
        std::string s(std::strtoul(argv[2], nullptr, 10), argv[3][0]);
        write_all(s.data(), static_cast<DWORD>(s.size()));
        if (argc >= 5) Sleep(std::strtoul(argv[4], nullptr, 10));
        return 0;
    }
    if (mode == "nul") {
        write_all("abc\0def", 7);
        if (argc >= 3) Sleep(std::strtoul(argv[2], nullptr, 10));
        return 0;
    }
    if (mode == "sleep" && argc >= 3) {
        Sleep(std::strtoul(argv[2], nullptr, 10));
        return 0;
    }
    if (mode == "stream" && argc >= 3) {
        unsigned long total = std::strtoul(argv[2], nullptr, 10);
        char block[4096];
        for (size_t i = 0; i < sizeof block; ++i)
            block[i] = (i % 64 == 63) ? '\n' : static_cast<char>('a' + i % 26);
        while (total > 0) {
            DWORD n = total > sizeof block ? sizeof block : static_cast<DWORD>(total);
            write_all(block, n);
            total -= n;
        }
        return 0;
    }
    return 2;
}
