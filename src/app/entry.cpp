// Program entry: the records, the main window, the start-up sequence, the message loop.
#include "app/app_state.hpp"
#include "app/main_window.hpp"
#include "app/startup.hpp"

#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int show) {
    using namespace quorvel;
    create_program_records();
    HWND window = create_main_window();
    if (!window) {
        release_program_records();
        return 0;
    }
    // Shown before the checks, so the user sees the program start at once.
    ShowWindow(window, show);
    UpdateWindow(window);
    run_startup_sequence();
    int code = run_message_loop();
    release_program_records();
    return code;
}
