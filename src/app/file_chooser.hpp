// The program's common-dialog object: made for one use, discarded afterwards.
#pragma once
#include "core/text.hpp"

#include <windows.h>

#include <cstdint>

namespace quorvel {

// Virtual operations in a fixed order. The print, folder, colour, font, printer-properties,
// save, shut-down and run dialogs are not built: the program never opens them.
class FileChooser final {
public:
    FileChooser() = default;
    FileChooser(const FileChooser&) = default;
    FileChooser& operator=(const FileChooser&) = default;

    virtual void release();
    virtual FileChooser* clone() const;
    virtual void set_file_name(const Text& v) { file_name_ = v; }
    virtual Text get_file_name() const { return file_name_; }
    virtual void set_folder(const Text& v) { folder_ = v; }
    virtual Text get_folder() const { return folder_; }
    // "Description|pattern|..." stored as the file dialogs take it: each "|" a NUL, two NULs at the
    // end.
    virtual void set_filter_text(const Text& v);
    virtual Text get_filter_text() const;
    virtual void set_filter_bytes(const Text& v) { filter_ = v; }
    virtual Text get_filter_bytes() const { return filter_; }
    virtual void set_path(const Text& v) { path_ = v; }
    virtual Text get_path() const { return path_; }
    virtual void set_color(std::uint32_t v) { color_ = v; }
    virtual std::uint32_t get_color() const { return color_; }
    virtual void set_title(const Text& v) { title_ = v; }
    virtual Text get_title() const { return title_; }
    virtual void set_owner(HWND v) { owner_ = v; }
    virtual HWND get_owner() const { return owner_; }
    virtual void set_default_ext(const Text& v) { default_ext_ = v; }
    virtual Text get_default_ext() const { return default_ext_; }
    virtual void set_font_face(const Text& v) { font_face_ = v; }
    virtual Text get_font_face() const { return font_face_; }
    virtual void set_font_size(int v) { font_size_ = v; }
    virtual std::int16_t get_font_size() const { return static_cast<std::int16_t>(font_size_); }
    virtual void set_bold(bool v) { bold_ = v; }
    virtual bool get_bold() const { return bold_; }
    virtual void set_italic(bool v) { italic_ = v; }
    virtual bool get_italic() const { return italic_; }
    virtual void set_underline(bool v) { underline_ = v; }
    virtual bool get_underline() const { return underline_; }
    virtual void set_owner_window(HWND v) { owner_ = v; }
    // 1 when a file was chosen (path, folder and file_name then set), 0 on cancel or failure.
    virtual int open_file(const Text* initial_dir = nullptr);

private:
    ~FileChooser() = default; // discarded through release()

    Text file_name_, folder_, filter_, path_, title_, default_ext_, font_face_;
    std::uint32_t color_ = 0;
    HWND owner_ = nullptr;
    int font_size_ = 0;
    bool bold_ = false, italic_ = false, underline_ = false;
};

// Makes a FileChooser; discard it with release().
FileChooser* make_file_chooser();

// The click event of BUTTON_BROWSE.
void on_browse_clicked();

} // namespace quorvel
