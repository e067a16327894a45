// Flashing an FFU image onto the simulated handset.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace quorvel::ffu {

struct FlashEvents {
    std::function<void(const std::string& line)> message;
    std::function<void(std::uint64_t done, std::uint64_t total)> progress;
};

// Returns FFU_FLASH_OK, FFU_FLASH_NO_DEVICE or FFU_FLASH_FAILED (with `error` set).
int flash_image(const std::string& image_path, const FlashEvents& events, std::string& error);

} // namespace quorvel::ffu
