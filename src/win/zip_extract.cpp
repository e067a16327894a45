#include "win/zip_extract.hpp"

#include <new>
#include <vector>

#include <windows.h>

#include "core/zip_reader.hpp"
#include "win/system.hpp"

namespace quorvel {

namespace {

bool read_whole_file(const Text& path, std::vector<unsigned char>& out) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size{};
    bool ok = GetFileSizeEx(file, &size) && size.QuadPart <= 0x7FFFFFFF;
    try {
        if (ok) out.resize(static_cast<size_t>(size.QuadPart));
    } catch (const std::bad_alloc&) {
        ok = false;
    }
    size_t done = 0;
    while (ok && done < out.size()) {
        DWORD got = 0;
        ok = ReadFile(file, out.data() + done, static_cast<DWORD>(out.size() - done), &got,
                      nullptr) &&
             got > 0;
        done += got;
    }
    CloseHandle(file);
    return ok;
}

class FileSystemSink : public ZipSink {
public:
    bool make_dir(const Text& path) override {
        return folder_exists(path) || CreateDirectoryA(path.c_str(), nullptr);
    }

    bool write_file(const Text& path, const unsigned char* data, size_t size) override {
        // A read-only (or hidden, or system) file cannot be replaced until its attributes go.
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return false;
        bool ok = true;
        size_t done = 0;
        while (ok && done < size) {
            DWORD wrote = 0;
            ok = WriteFile(file, data + done, static_cast<DWORD>(size - done), &wrote, nullptr) &&
                 wrote > 0;
            done += wrote;
        }
        ok = CloseHandle(file) && ok;
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        return ok;
    }
};

} // namespace

int zip_extract(const Text& archive_path, const Text& target_dir) {
    if (GetFileAttributesA(archive_path.c_str()) == INVALID_FILE_ATTRIBUTES) return -1;
    if (!folder_exists(target_dir) && !CreateDirectoryA(target_dir.c_str(), nullptr)) return -1;
    std::vector<unsigned char> archive;
    if (!read_whole_file(archive_path, archive)) return -1;
    FileSystemSink sink;
    return extract_zip(archive.data(), archive.size(), target_dir, '\\', sink);
}

} // namespace quorvel
