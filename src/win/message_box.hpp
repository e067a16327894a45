// The one way the program shows a message box, replaceable so tests can answer it.
#pragma once
#include "core/text.hpp"

namespace quorvel {

// The answer of a message box.
enum class DialogAnswer { ok = 0, cancel = 1, abort = 2, retry = 3, ignore = 4, yes = 5, no = 6 };

// Message box styles the program uses.
namespace box_style {
constexpr unsigned stop_ok = 16;
constexpr unsigned question_ok_cancel = 33;
constexpr unsigned exclamation_ok = 48;
constexpr unsigned exclamation_retry_cancel = 53;
constexpr unsigned information_ok = 64;
constexpr unsigned question_yes_no_default_no = 292;
} // namespace box_style

// Shows `text` with `title` (the default title when empty) and `style`, without an owner window,
// task-modal unless the style is system-modal.
DialogAnswer show_message(const Text& text, const Text& title, unsigned style);

// What show_message calls. The real one is MessageBoxA; tests put a script in its place.
// The style passed on already holds the modality bit.
using MessageBoxFunction = DialogAnswer (*)(const Text& text, const Text& title, unsigned style);
MessageBoxFunction set_message_box_function(MessageBoxFunction f);

// The style actually handed to MessageBoxA for a given style.
unsigned effective_box_style(unsigned style);

} // namespace quorvel
