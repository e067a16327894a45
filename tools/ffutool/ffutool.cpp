// ffutool.exe: the command line of the flashing tool. ffucomponents.dll does the work; this
// program reads the arguments and prints. Output goes to standard output in text mode, so every
// line ends in CR LF as in any Windows console program. A failure ends with its error text and
// no line end: only a successful run's output ends with a line break.
#include "ffucomponents.h"

#include <windows.h>

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr const char* tool_version = "1.0.0";

enum ExitCode { exit_ok = 0, exit_failed = 1, exit_usage = 2 };

void print_usage() {
    std::printf("Usage: ffutool -list\n"
                "       ffutool -uefiflash <image.ffu>\n"
                "\n"
                "  -list        List the handsets connected in flash mode.\n"
                "  -uefiflash   Write a full flash update image to the connected handset.\n");
}

bool equals_ignoring_case(const char* a, const char* b) {
    for (; *a && *b; ++a, ++b) {
        const char ca = (*a >= 'A' && *a <= 'Z') ? static_cast<char>(*a - 'A' + 'a') : *a;
        const char cb = (*b >= 'A' && *b <= 'Z') ? static_cast<char>(*b - 'A' + 'a') : *b;
        if (ca != cb) return false;
    }
    return *a == *b;
}

void print_storage(std::uint64_t bytes) {
    // Hundredths of a GiB, rounded, without floating point.
    const std::uint64_t gib = 1024ull * 1024 * 1024;
    const std::uint64_t hundredths = (bytes * 100 + gib / 2) / gib;
    std::printf("    Storage:      %" PRIu64 " bytes (%" PRIu64 ".%02" PRIu64 " GiB)\n", bytes,
                hundredths / 100, hundredths % 100);
}

int list_devices() {
    constexpr int capacity = 8;
    FfuDeviceInfo devices[capacity];
    char error[FFU_ERROR_SIZE];
    const int found = ffu_enumerate_devices(devices, capacity, error, sizeof error);
    if (found < 0) {
        std::printf("Error: %s", error);
        return exit_failed;
    }
    if (found == 0) {
        // Never "Devices Found" here: its presence is what tells a handset is attached.
        std::printf("No devices connected. Connect a handset in flash mode and try again.\n");
        return exit_ok;
    }
    std::printf("Devices Found: %d\n", found);
    for (int i = 0; i < found && i < capacity; ++i) {
        const FfuDeviceInfo& d = devices[i];
        std::printf("\nFound device:\n");
        std::printf("    Name:         %s\n", d.name);
        std::printf("    Unique ID:    %s\n", d.unique_id);
        std::printf("    Platform ID:  %s\n", d.platform_id);
        print_storage(d.storage_bytes);
    }
    return exit_ok;
}

struct FlashProgress {
    int last_percent = -1;
    std::uint64_t bytes_done = 0;
};

// Each line is flushed at once: whoever reads the pipe sees the flash advance.
void on_flash_event(void* context, const FfuFlashEvent* event) {
    auto* progress = static_cast<FlashProgress*>(context);
    if (event->kind == FFU_EVENT_MESSAGE) {
        std::printf("%s\n", event->text);
    } else if (event->kind == FFU_EVENT_PROGRESS && event->bytes_total > 0) {
        const int percent = static_cast<int>(event->bytes_done * 100 / event->bytes_total);
        if (percent / 10 == progress->last_percent / 10 && percent != 100) return;
        progress->last_percent = percent;
        progress->bytes_done = event->bytes_done;
        std::printf("Progress: %3d%% (%" PRIu64 " of %" PRIu64 " bytes)\n", percent,
                    event->bytes_done, event->bytes_total);
    }
    std::fflush(stdout);
}

int flash(const char* image_path) {
    std::printf("ffutool %s (ffucomponents %s)\n", tool_version, ffu_components_version());
    std::fflush(stdout);
    const ULONGLONG start = GetTickCount64();
    FlashProgress progress;
    char error[FFU_ERROR_SIZE];
    const int result = ffu_flash_image(image_path, on_flash_event, &progress, error, sizeof error);
    if (result != FFU_FLASH_OK) {
        std::printf("Error: %s", error);
        return exit_failed;
    }
    const ULONGLONG elapsed = GetTickCount64() - start;
    // Hundredths of a MiB, rounded, without floating point.
    const std::uint64_t mib = 1024 * 1024;
    const std::uint64_t hundredths = (progress.bytes_done * 100 + mib / 2) / mib;
    std::printf("Flash completed: %" PRIu64 " bytes (%" PRIu64 ".%02" PRIu64
                " MiB) transferred in %lld.%03lld seconds\n",
                progress.bytes_done, hundredths / 100, hundredths % 100,
                static_cast<long long>(elapsed / 1000), static_cast<long long>(elapsed % 1000));
    return exit_ok;
}

int run(int argc, char** argv) {
    if (argc < 2) {
        print_usage();
        std::printf("Error: no command given.");
        return exit_usage;
    }
    const char* option = argv[1];
    if (equals_ignoring_case(option, "-?") || equals_ignoring_case(option, "-help") ||
        equals_ignoring_case(option, "/?")) {
        print_usage();
        return exit_ok;
    }
    if (equals_ignoring_case(option, "-list")) {
        if (argc > 2) {
            print_usage();
            std::printf("Error: -list takes no arguments, found \"%s\".", argv[2]);
            return exit_usage;
        }
        std::printf("ffutool %s (ffucomponents %s)\n\n", tool_version, ffu_components_version());
        return list_devices();
    }
    if (equals_ignoring_case(option, "-uefiflash")) {
        if (argc != 3) {
            print_usage();
            std::printf("Error: -uefiflash takes one image file.");
            return exit_usage;
        }
        return flash(argv[2]);
    }
    print_usage();
    std::printf("Error: unknown option \"%s\".", option);
    return exit_usage;
}

} // namespace

int main(int argc, char** argv) {
    const int code = run(argc, argv);
    std::fflush(stdout);
    return code;
}
