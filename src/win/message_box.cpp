#include "win/message_box.hpp"

#include <windows.h>

namespace quorvel {
namespace {

DialogAnswer answer_from_id(int id) {
    switch (id) {
    case IDOK:
        return DialogAnswer::ok;
    case IDCANCEL:
        return DialogAnswer::cancel;
    case IDABORT:
        return DialogAnswer::abort;
    case IDRETRY:
        return DialogAnswer::retry;
    case IDIGNORE:
        return DialogAnswer::ignore;
    case IDYES:
        return DialogAnswer::yes;
    case IDNO:
        return DialogAnswer::no;
    default:
        return DialogAnswer::cancel;
    }
}

DialogAnswer real_message_box(const Text& text, const Text& title, unsigned style) {
    return answer_from_id(MessageBoxA(nullptr, text.c_str(), title.c_str(), style));
}

MessageBoxFunction current = real_message_box;

} // namespace

unsigned effective_box_style(unsigned style) {
    return (style & MB_SYSTEMMODAL) ? style : (style | MB_TASKMODAL);
}

DialogAnswer show_message(const Text& text, const Text& title, unsigned style) {
    return current(text, title.empty() ? Text("信息：") : title, effective_box_style(style));
}

MessageBoxFunction set_message_box_function(MessageBoxFunction f) {
    MessageBoxFunction old = current;
    current = f ? f : real_message_box;
    return old;
}

} // namespace quorvel
