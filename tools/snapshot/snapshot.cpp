// Screenshots of the program's windows, for ./run.sh on a machine without a display and for
// looking at the windows during development.
//   snapshot capture CAPTION OUT.png [TIMEOUT_MS]   waits for a visible top-level window with that
//                                                   caption and saves what the screen shows of it
//   snapshot driver OUT.png                         opens the program's driver window (owned by a
//                                                   main window made here) and saves it
#include "app/app_state.hpp"
#include "app/main_window.hpp"

#include <png.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

HWND find_window(const char* caption, DWORD timeout_ms) {
    DWORD start = GetTickCount();
    for (;;) {
        HWND w = FindWindowA(nullptr, caption);
        if (w && IsWindowVisible(w)) return w;
        if (GetTickCount() - start > timeout_ms) return nullptr;
        Sleep(100);
    }
}

void pump_for(DWORD ms) {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < ms) {
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&m);
            DispatchMessageA(&m);
        }
        Sleep(10);
    }
}

// Saves the part of the screen the window covers, as an 8-bit RGB PNG.
bool save_window(HWND w, const char* path) {
    RECT r;
    GetWindowRect(w, &r);
    int width = r.right - r.left, height = r.bottom - r.top;
    if (width <= 0 || height <= 0) return false;
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = -height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
    GdiFlush();
    std::vector<unsigned char> rgb(static_cast<size_t>(width) * height * 3);
    const unsigned char* src = static_cast<const unsigned char*>(bits);
    for (size_t i = 0; i < static_cast<size_t>(width) * height; ++i) {
        rgb[i * 3] = src[i * 4 + 2];
        rgb[i * 3 + 1] = src[i * 4 + 1];
        rgb[i * 3 + 2] = src[i * 4];
    }
    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);

    png_image img;
    std::memset(&img, 0, sizeof img);
    img.version = PNG_IMAGE_VERSION;
    img.width = static_cast<png_uint_32>(width);
    img.height = static_cast<png_uint_32>(height);
    img.format = PNG_FORMAT_RGB;
    return png_image_write_to_file(&img, path, 0, rgb.data(), width * 3, nullptr) != 0;
}

int usage() {
    std::fprintf(
        stderr, "usage: snapshot capture CAPTION OUT.png [TIMEOUT_MS] | snapshot driver OUT.png\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) return usage();
    std::string mode = argv[1];
    if (mode == "capture" && argc >= 4) {
        DWORD timeout = argc >= 5 ? static_cast<DWORD>(std::strtoul(argv[4], nullptr, 10)) : 30000;
        HWND w = find_window(argv[2], timeout);
        if (!w) {
            std::fprintf(stderr, "no window \"%s\"\n", argv[2]);
            return 1;
        }
        Sleep(500); // let it finish painting
        return save_window(w, argv[3]) ? 0 : 1;
    }
    if (mode == "driver") {
        using namespace quorvel;
        create_program_records();
        HWND main = create_main_window();
        if (!main) return 1;
        // Moved off to the side so the driver window is captured on its own.
        SetWindowPos(main, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        ShowWindow(main, SW_SHOW);
        open_driver_window();
        pump_for(700);
        bool ok = driver_window_exists() && save_window(driver_controls().window, argv[2]);
        destroy_driver_window();
        DestroyWindow(main);
        release_program_records();
        return ok ? 0 : 1;
    }
    return usage();
}
