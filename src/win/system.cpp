#include "win/system.hpp"

#include "win/handle.hpp"

#include <windows.h>

#include <vector>

namespace quorvel {

Text temp_dir() {
    char buf[MAX_PATH + 1];
    DWORD n = GetTempPathA(sizeof buf, buf);
    Text dir = (n > 0 && n < sizeof buf) ? Text(buf, n) : Text();
    if (dir.empty() || dir.back() != '\\') dir += '\\';
    return dir;
}

Text environment_variable(const Text& name, bool* present) {
    std::vector<char> buf(256);
    for (;;) {
        SetLastError(0);
        DWORD n = GetEnvironmentVariableA(name.c_str(), buf.data(), static_cast<DWORD>(buf.size()));
        if (n == 0) {
            if (present) *present = GetLastError() != ERROR_ENVVAR_NOT_FOUND;
            return Text();
        }
        if (n < buf.size()) {
            if (present) *present = true;
            return Text(buf.data(), n);
        }
        buf.resize(n + 1);
    }
}

bool file_exists(const Text& path) {
    DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool folder_exists(const Text& path) {
    DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool write_whole_file(const Text& path, const void* data, std::size_t size) {
    UniqueHandle f(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!f) return false;
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!WriteFile(f.get(), p, chunk, &written, nullptr) || written == 0) return false;
        p += written;
        size -= written;
    }
    return true;
}

bool delete_file(const Text& path) {
    return DeleteFileA(path.c_str()) != 0;
}

const unsigned char* program_resource(int id, std::size_t* size) {
    HRSRC r = FindResourceA(nullptr, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(10) /* RT_RCDATA */);
    if (!r) return nullptr;
    HGLOBAL g = LoadResource(nullptr, r);
    if (!g) return nullptr;
    if (size) *size = SizeofResource(nullptr, r);
    return static_cast<const unsigned char*>(LockResource(g));
}

} // namespace quorvel
