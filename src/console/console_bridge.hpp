// The one hidden command interpreter with redirected standard input and output.
#pragma once
#include <windows.h>

namespace quorvel {

struct ConsoleBridge {
    bool open = false;
    CRITICAL_SECTION* lock = nullptr; // held by the output pump's reader
    PROCESS_INFORMATION process = {};
    HANDLE in_read = nullptr;   // the interpreter's standard input
    HANDLE in_write = nullptr;  // the program writes command lines here
    HANDLE out_read = nullptr;  // the output pump reads here
    HANDLE out_write = nullptr; // the interpreter's standard output and standard error
    SECURITY_ATTRIBUTES in_pipe_attributes = {};
    SECURITY_ATTRIBUTES out_pipe_attributes = {};
    STARTUPINFOA startup_info = {};
};

} // namespace quorvel
