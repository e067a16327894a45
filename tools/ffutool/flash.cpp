// Flashing the simulated handset: the image is checked as a whole, then its blocks are written
// into the file that stands for the handset's storage. The handset's reserved keys make the
// flash misbehave on purpose (fail, hang, print a stray prompt).
#include "flash.hpp"

#include "ffucomponents.h"

#include "ffu/ffu_format.hpp"
#include "handset.hpp"

#include <windows.h>

#include <cstdio>
#include <vector>

namespace quorvel::ffu {
namespace {

// Codes for failures outside the image itself, in the style of the image errors' codes.
constexpr std::uint32_t code_no_device = 0xA0020001;
constexpr std::uint32_t code_image_unreadable = 0xA0020002;
constexpr std::uint32_t code_storage = 0xA0020003;
constexpr std::uint32_t code_transfer = 0xA0020004;

std::string coded(std::uint32_t code, const std::string& text) {
    char prefix[16];
    std::snprintf(prefix, sizeof prefix, "0x%08X: ", static_cast<unsigned>(code));
    return prefix + text;
}

class Storage {
public:
    ~Storage() {
        if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
    }
    // Opens the file, created (or grown) to the storage size.
    bool open(const std::string& path, std::uint64_t size) {
        file_ = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file_ == INVALID_HANDLE_VALUE) return false;
        LARGE_INTEGER current{};
        if (!GetFileSizeEx(file_, &current)) return false;
        if (static_cast<std::uint64_t>(current.QuadPart) >= size) return true;
        LARGE_INTEGER end{};
        end.QuadPart = static_cast<LONGLONG>(size);
        return SetFilePointerEx(file_, end, nullptr, FILE_BEGIN) && SetEndOfFile(file_);
    }
    bool write(std::uint64_t offset, const std::uint8_t* data, std::uint32_t size) {
        LARGE_INTEGER at{};
        at.QuadPart = static_cast<LONGLONG>(offset);
        DWORD written = 0;
        return SetFilePointerEx(file_, at, nullptr, FILE_BEGIN) &&
               WriteFile(file_, data, size, &written, nullptr) && written == size;
    }

private:
    HANDLE file_ = INVALID_HANDLE_VALUE;
};

} // namespace

int flash_image(const std::string& image_path, const FlashEvents& events, std::string& error) {
    const HandsetLookup handset = find_handset();
    if (handset.state == HandsetState::absent) {
        error = coded(code_no_device, "no handset in flash mode is connected");
        return FFU_FLASH_NO_DEVICE;
    }
    if (handset.state == HandsetState::broken) {
        error = coded(code_no_device, handset.error);
        return FFU_FLASH_FAILED;
    }
    const HandsetConfig& config = handset.config;
    events.message("Device found: " + config.name + " (" + config.unique_id + "), platform " +
                   config.platform_id);
    // Looks like the prompt of a shell, which is the point.
    if (config.stray_prompt) events.message("FlashApp> handset ready");

    std::vector<std::uint8_t> file;
    if (!read_file_bytes(image_path, file)) {
        error = coded(code_image_unreadable, "cannot read the image " + image_path);
        return FFU_FLASH_FAILED;
    }
    events.message("Checking image " + image_path + " (" + std::to_string(file.size()) + " bytes)");
    const ReadResult checked = read_image(file, {config.storage_bytes, config.platform_id});
    if (!checked.ok()) {
        error = coded(error_code(checked.error), error_text(checked.error));
        if (!checked.detail.empty()) error += " (" + checked.detail + ")";
        return FFU_FLASH_FAILED;
    }
    const Image& image = checked.image;

    std::string storage_path = handset.folder;
    if (storage_path.back() != '\\' && storage_path.back() != '/') storage_path += '\\';
    storage_path += config.storage_file;
    Storage storage;
    if (!storage.open(storage_path, config.storage_bytes)) {
        error = coded(code_storage, "cannot open the handset's storage " + storage_path);
        return FFU_FLASH_FAILED;
    }

    std::uint64_t total = 0;
    for (const WriteDescriptor& d : image.descriptors)
        total += std::uint64_t{d.block_count} * d.locations.size() * image.block_size;
    events.message("Flashing " + std::to_string(total) + " bytes");
    std::uint64_t done = 0;
    bool halfway_passed = false;
    // Halfway (or at the end of a one-block image) the handset may hang or fail on purpose.
    auto misbehave = [&]() {
        if (halfway_passed) return false;
        halfway_passed = true;
        if (config.hang_ms > 0) Sleep(config.hang_ms);
        if (config.fail.empty()) return false;
        error = coded(code_transfer, config.fail == "1"
                                         ? "transfer failed: the handset stopped responding"
                                         : config.fail);
        return true;
    };
    std::uint64_t payload = image.payload_offset;
    for (const WriteDescriptor& d : image.descriptors) {
        for (const Location& l : d.locations) {
            std::uint64_t offset = 0;
            location_offset(l, d.block_count, image.block_size, config.storage_bytes, offset);
            for (std::uint32_t b = 0; b < d.block_count; ++b) {
                if (done > 0 && done * 2 >= total && misbehave()) return FFU_FLASH_FAILED;
                const std::uint64_t at = std::uint64_t{b} * image.block_size;
                if (!storage.write(offset + at, file.data() + payload + at, image.block_size)) {
                    error = coded(code_storage, "cannot write the handset's storage");
                    return FFU_FLASH_FAILED;
                }
                done += image.block_size;
                events.progress(done, total);
            }
        }
        payload += std::uint64_t{d.block_count} * image.block_size;
    }
    if (misbehave()) return FFU_FLASH_FAILED;
    return FFU_FLASH_OK;
}

} // namespace quorvel::ffu
