// Files, folders and the environment, through the ANSI functions (texts are GBK).
#pragma once
#include "core/text.hpp"

#include <cstddef>

namespace quorvel {

// The temporary directory as GetTempPathA gives it, always ending with a backslash.
Text temp_dir();

// The value of an environment variable; `present` tells an unset variable from an empty one.
Text environment_variable(const Text& name, bool* present = nullptr);

bool file_exists(const Text& path);
bool folder_exists(const Text& path);

// Creates the file or replaces its content.
bool write_whole_file(const Text& path, const void* data, std::size_t size);

bool delete_file(const Text& path);

// Bytes of an RCDATA resource of the running program (nullptr when missing).
const unsigned char* program_resource(int id, std::size_t* size);

} // namespace quorvel
