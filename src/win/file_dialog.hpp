// The file-open dialog, behind one replaceable function so tests can answer it.
#pragma once
#include <windows.h>

#include <commdlg.h>

namespace quorvel {

using OpenFileFunction = BOOL(WINAPI*)(OPENFILENAMEA* record);
BOOL show_open_file_dialog(OPENFILENAMEA* record);
OpenFileFunction set_open_file_function(OpenFileFunction f);

} // namespace quorvel
