// The interface of ffucomponents.dll, which does the work of ffutool.exe.
// Plain C types only: the executable and the library each carry their own C++ runtime, so no
// C++ object, exception or allocation may cross between them.
#pragma once

#include <stdint.h>

#ifdef FFUCOMPONENTS_BUILD
#define FFUCOMPONENTS_API __declspec(dllexport)
#else
#define FFUCOMPONENTS_API __declspec(dllimport)
#endif

#ifdef __cplusplus
extern "C" {
#endif

enum {
    FFU_NAME_SIZE = 128,
    FFU_UNIQUE_ID_SIZE = 128,
    // As the platform id field of an FFU store header, terminating zero included.
    FFU_PLATFORM_ID_SIZE = 192,
    FFU_ERROR_SIZE = 512,
};

// One handset in flash mode. Texts are zero-terminated.
typedef struct FfuDeviceInfo {
    char name[FFU_NAME_SIZE];
    char unique_id[FFU_UNIQUE_ID_SIZE];
    char platform_id[FFU_PLATFORM_ID_SIZE];
    uint64_t storage_bytes;
} FfuDeviceInfo;

// The library's version, e.g. "1.0.0".
FFUCOMPONENTS_API const char* ffu_components_version(void);

// Looks for handsets in flash mode. Fills at most `capacity` records of `devices` and returns
// the number of handsets found (0 when none is attached), or -1 when an attached handset cannot
// be read; `error` (of `error_size` bytes, may be null) then holds the reason.
FFUCOMPONENTS_API int ffu_enumerate_devices(FfuDeviceInfo* devices, int capacity, char* error,
                                            int error_size);

// What a flash reports as it goes: a line of text to show, or the bytes written so far.
enum { FFU_EVENT_MESSAGE = 0, FFU_EVENT_PROGRESS = 1 };

typedef struct FfuFlashEvent {
    int kind;
    const char* text;    // FFU_EVENT_MESSAGE: one line, without its line end
    uint64_t bytes_done; // FFU_EVENT_PROGRESS
    uint64_t bytes_total;
} FfuFlashEvent;

typedef void (*FfuFlashCallback)(void* context, const FfuFlashEvent* event);

enum { FFU_FLASH_OK = 0, FFU_FLASH_NO_DEVICE = 1, FFU_FLASH_FAILED = -1 };

// Checks the FFU image at `image_path` against the attached handset and writes its blocks into
// the handset's storage, reporting through `callback` (may be null). Returns FFU_FLASH_OK,
// FFU_FLASH_NO_DEVICE or FFU_FLASH_FAILED; on the last two `error` holds the reason, starting
// with a hexadecimal error code.
FFUCOMPONENTS_API int ffu_flash_image(const char* image_path, FfuFlashCallback callback,
                                      void* context, char* error, int error_size);

#ifdef __cplusplus
}
#endif
