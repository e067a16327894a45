#include "win/folder_delete.hpp"

#include <windows.h>

#include "core/folder_path.hpp"

namespace quorvel {

namespace {

bool delete_tree(const Text& folder) {
    const DWORD attributes = GetFileAttributesA(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    // A junction or folder link: remove the link, never what it points to.
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return RemoveDirectoryA(folder.c_str());

    const Text base = ends_with_separator(folder) ? folder : folder + '\\';
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((base + '*').c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const Text name = found.cFileName;
            if (name == "." || name == "..") continue;
            const Text child = base + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                delete_tree(child);
            } else {
                // A read-only file cannot be deleted until its attributes go.
                SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(child.c_str());
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    SetFileAttributesA(folder.c_str(), FILE_ATTRIBUTE_NORMAL);
    // Whatever could not be deleted above makes this fail, which is the answer.
    return RemoveDirectoryA(folder.c_str());
}

} // namespace

bool delete_folder_tree(const Text& path) {
    if (!is_deletable_folder_path(path)) return false;
    return delete_tree(path.substr(path.find_first_not_of(' ')));
}

} // namespace quorvel
