#include "core/command_line.hpp"

namespace quorvel {

Text flash_command_line(const Text& tool_path, const Text& firmware_path) {
    return "cmd /c \"\"" + tool_path + "\" -uefiflash \"" + firmware_path + "\"\"";
}

} // namespace quorvel
