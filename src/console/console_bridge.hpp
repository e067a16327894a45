// The one hidden command interpreter with redirected standard input and output.
#pragma once
#include "core/text.hpp"

#include <windows.h>

#include <atomic>
#include <mutex>

namespace quorvel {

// What an open bridge shares with its readers. It lives until the bridge and every reader of it
// have let go, so closing never waits for a reader and a reader never sees a later bridge.
struct BridgeSession {
    CRITICAL_SECTION lock;           // the readers' lock; the user-interface thread never takes it
    std::atomic<bool> closed{false}; // set by close_bridge
    std::atomic<long> references{1}; // the bridge's own, plus one for each reader
    HANDLE read_end = nullptr;       // the readers' own copy of the output pipe's read end
    std::mutex reading_guard;        // guards reading_thread
    HANDLE reading_thread = nullptr; // the reader blocked in a read, to be cancelled on close
};

struct ConsoleBridge {
    bool open = false;
    CRITICAL_SECTION* lock = nullptr; // the session's lock while open
    PROCESS_INFORMATION process = {};
    HANDLE in_read = nullptr;   // the interpreter's standard input
    HANDLE in_write = nullptr;  // the program writes command lines here
    HANDLE out_read = nullptr;  // the output pump reads here
    HANDLE out_write = nullptr; // the interpreter's standard output and standard error
    SECURITY_ATTRIBUTES in_pipe_attributes = {};
    SECURITY_ATTRIBUTES out_pipe_attributes = {};
    STARTUPINFOA startup_info = {};
    BridgeSession* session = nullptr;
};

// Starts the interpreter (default "cmd.exe" in the system directory) unless the bridge is open;
// returns its process id, or 0.
DWORD open_bridge(ConsoleBridge& bridge, const Text* command_line = nullptr,
                  const Text* working_directory = nullptr);
// 4 after "exit", 3 after "cls", otherwise the bytes written (0 when nothing could be written).
int send_line(ConsoleBridge& bridge, const Text& text);
// True when the interpreter was terminated and the bridge is closed.
bool close_bridge(ConsoleBridge& bridge);
// The system directory, without a trailing backslash, spaces trimmed.
Text system_directory();

// Takes and drops a share of a session; the last drop frees it.
void session_acquire(BridgeSession* s);
void session_release(BridgeSession* s);

} // namespace quorvel
