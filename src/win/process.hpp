// Processes: the one place the program ends another process, replaceable for tests.
#pragma once
#include <windows.h>

namespace quorvel {

// Opens the process with the terminate right only and terminates it with `exit_code`.
using TerminateFunction = bool (*)(DWORD process_id, UINT exit_code);
bool terminate_process(DWORD process_id, UINT exit_code);
TerminateFunction set_terminate_function(TerminateFunction f);

// Whether the system is of the NT family.
bool is_nt_family();

} // namespace quorvel
