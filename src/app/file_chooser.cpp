#include "app/file_chooser.hpp"

#include "app/app_state.hpp"
#include "app/main_window.hpp"
#include "win/file_dialog.hpp"
#include "win/system.hpp"

#include <vector>

namespace quorvel {
namespace {

constexpr std::size_t padded_length = 260;
constexpr DWORD open_flags = 0x00201004; // long names, file must exist, read-only box hidden

Text padded(const Text& t) {
    Text p = t.substr(0, padded_length);
    p.resize(padded_length, ' ');
    return p;
}

} // namespace

FileChooser* make_file_chooser() {
    return new FileChooser();
}

void FileChooser::release() {
    delete this;
}

FileChooser* FileChooser::clone() const {
    return new FileChooser(*this);
}

void FileChooser::set_filter_text(const Text& v) {
    filter_ = replace_text(v, "|", Text(1, '\0'));
    filter_ += Text(2, '\0');
}

Text FileChooser::get_filter_text() const {
    Text t = filter_;
    if (t.size() >= 2 && t.compare(t.size() - 2, 2, Text(2, '\0')) == 0) t.resize(t.size() - 2);
    return replace_text(t, Text(1, '\0'), "|");
}

int FileChooser::open_file(const Text* initial_dir) {
    Text start = initial_dir ? *initial_dir : Text();
    std::vector<char> file(padded_length + 1, '\0');
    Text initial = padded(path_);
    std::copy(initial.begin(), initial.end(), file.begin());
    Text title = padded(title_);

    OPENFILENAMEA ofn = {};
    ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    ofn.hwndOwner = owner_;
    ofn.hInstance = GetModuleHandleA(nullptr);
    ofn.lpstrFilter = filter_.empty() ? nullptr : filter_.c_str();
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = static_cast<DWORD>(file.size());
    // No starting folder given: the current directory.
    ofn.lpstrInitialDir = initial_dir ? start.c_str() : nullptr;
    ofn.lpstrTitle = title.c_str();
    ofn.Flags = open_flags;
    ofn.lpstrDefExt = default_ext_.empty() ? nullptr : default_ext_.c_str();
    if (!show_open_file_dialog(&ofn)) return 0;

    Text chosen = trim_text(Text(file.data()));
    std::size_t slash = Text::npos;
    // The last backslash that is not the second byte of a double-byte character.
    for (std::size_t i = 0; i < chosen.size(); ++i) {
        if (is_lead_byte(static_cast<unsigned char>(chosen[i]))) {
            ++i;
            continue;
        }
        if (chosen[i] == '\\') slash = i;
    }
    if (slash != Text::npos) {
        path_ = chosen;
        folder_ = chosen.substr(0, slash);
        file_name_ = chosen.substr(slash + 1);
    }
    return 1;
}

void on_browse_clicked() {
    FileChooser* chooser = make_file_chooser();
    chooser->set_filter_text("Windows Phone固件(*.FFU文件)|*.ffu");
    Text initial_dir = environment_variable("programdata") + "\\Nokia\\Packages\\Products";
    if (chooser->open_file(&initial_dir) == 1) {
        app_state().firmware_path = chooser->get_path();
        SetWindowTextA(main_controls().编辑框1, app_state().firmware_path.c_str());
    }
    chooser->release();
}

} // namespace quorvel
