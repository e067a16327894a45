// The exported functions of ffucomponents.dll.
#include "ffucomponents.h"

#include "flash.hpp"
#include "handset.hpp"

#include <cstring>
#include <exception>
#include <string>

namespace {

void copy_text(char* out, std::size_t size, const std::string& text) {
    if (!out || size == 0) return;
    const std::size_t n = text.size() < size ? text.size() : size - 1;
    std::memcpy(out, text.data(), n);
    out[n] = '\0';
}

} // namespace

extern "C" FFUCOMPONENTS_API const char* ffu_components_version(void) {
    return "1.0.0";
}

extern "C" FFUCOMPONENTS_API int ffu_enumerate_devices(FfuDeviceInfo* devices, int capacity,
                                                       char* error, int error_size) {
    using namespace quorvel::ffu;
    const std::size_t error_capacity = error_size > 0 ? static_cast<std::size_t>(error_size) : 0;
    copy_text(error, error_capacity, "");
    // No exception may leave the library.
    try {
        const HandsetLookup handset = find_handset();
        switch (handset.state) {
        case HandsetState::absent:
            return 0;
        case HandsetState::broken:
            copy_text(error, error_capacity, handset.error);
            return -1;
        case HandsetState::attached:
            break;
        }
        if (devices && capacity > 0) {
            FfuDeviceInfo& d = devices[0];
            copy_text(d.name, sizeof d.name, handset.config.name);
            copy_text(d.unique_id, sizeof d.unique_id, handset.config.unique_id);
            copy_text(d.platform_id, sizeof d.platform_id, handset.config.platform_id);
            d.storage_bytes = handset.config.storage_bytes;
        }
        return 1;
    } catch (const std::exception& e) {
        copy_text(error, error_capacity, std::string("internal error: ") + e.what());
        return -1;
    }
}

extern "C" FFUCOMPONENTS_API int ffu_flash_image(const char* image_path, FfuFlashCallback callback,
                                                 void* context, char* error, int error_size) {
    using namespace quorvel::ffu;
    const std::size_t error_capacity = error_size > 0 ? static_cast<std::size_t>(error_size) : 0;
    copy_text(error, error_capacity, "");
    try {
        FlashEvents events;
        events.message = [&](const std::string& line) {
            if (!callback) return;
            const FfuFlashEvent event{FFU_EVENT_MESSAGE, line.c_str(), 0, 0};
            callback(context, &event);
        };
        events.progress = [&](std::uint64_t done, std::uint64_t total) {
            if (!callback) return;
            const FfuFlashEvent event{FFU_EVENT_PROGRESS, nullptr, done, total};
            callback(context, &event);
        };
        std::string reason;
        const int result = flash_image(image_path ? image_path : "", events, reason);
        copy_text(error, error_capacity, reason);
        return result;
    } catch (const std::exception& e) {
        copy_text(error, error_capacity, std::string("internal error: ") + e.what());
        return FFU_FLASH_FAILED;
    }
}
