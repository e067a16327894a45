// The thin window toolkit: controls created from description tables, shape and picture boxes,
// a centred label, and a page container that shows one page at a time.
#pragma once
#include "core/image.hpp"
#include "core/gif_anim.hpp"

#include <windows.h>

#include <cstddef>
#include <vector>

namespace quorvel {

enum class ControlKind {
    label,         // STATIC, left and top aligned, wraps
    centred_label, // own class: centred both ways, wraps, own background colour
    edit,          // EDIT with a sunken frame
    button,        // BUTTON
    progress,      // msctls_progress32, 0..100
    shape,         // own class: fills with its background colour (or draws an etched line)
    picture,       // own class: a still image or an animation over its background colour
    pages,         // own class: holds pages, shows the current one
    page,          // own class: one page of a `pages` control
};

// One row of a window's control table. `parent` is the row index of the parent, or -1 for the
// window.
struct ControlSpec {
    const char* name;
    ControlKind kind;
    int parent;
    int left, top, width, height;
    const char* text;
    DWORD style;    // added to the kind's own style bits
    DWORD ex_style; // added to the kind's own extended style bits
    int id;
};

// Shape box style: draw a black line one pixel high with a white line below it along the top edge.
constexpr DWORD shape_etched_top_line = 0x0001;
// Picture box style: centre the picture and shrink it to fit, instead of natural size at top-left.
constexpr DWORD picture_centre_fit = 0x0001;

// Registers the own classes (once) and the common controls the tables use.
void register_toolkit_classes();

// Creates every row of the table in order, gives each control `font`, and returns the handles
// in the table's order.
std::vector<HWND> create_controls(HWND window, const ControlSpec* specs, std::size_t count,
                                  HFONT font);

// Background colour of a shape box, picture box or centred label.
void set_back_colour(HWND control, COLORREF colour);
COLORREF back_colour(HWND control);

void picture_set_image(HWND picture, const Image& image);
void picture_set_animation(HWND picture, const GifAnimation& animation);
// The frame shown now (for tests of the animation).
int picture_current_frame(HWND picture);

void pages_set_current(HWND pages, int index);
int pages_current(HWND pages);
HWND pages_page(HWND pages, int index);

// Lets mouse input over a progress bar fall through to its parent (for a draggable window).
void make_progress_see_through(HWND progress);

// Window-class names, for tests and automation.
extern const char* const shape_class_name;
extern const char* const picture_class_name;
extern const char* const centred_label_class_name;
extern const char* const pages_class_name;
extern const char* const page_class_name;

} // namespace quorvel
