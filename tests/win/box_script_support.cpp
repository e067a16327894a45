#include "box_script.hpp"

#include <gtest/gtest.h>

namespace quorvel::test {
namespace {
std::deque<DialogAnswer> answers;
std::vector<ShownBox> shown_boxes;
MessageBoxFunction previous = nullptr;

DialogAnswer scripted(const Text& text, const Text& title, unsigned style) {
    shown_boxes.push_back({text, title, style});
    if (answers.empty()) {
        ADD_FAILURE() << "unexpected message box: " << title << ": " << text;
        return DialogAnswer::cancel;
    }
    DialogAnswer a = answers.front();
    answers.pop_front();
    return a;
}
} // namespace

BoxScript::BoxScript(std::deque<DialogAnswer> a) {
    answers = std::move(a);
    shown_boxes.clear();
    previous = set_message_box_function(scripted);
}

BoxScript::~BoxScript() {
    set_message_box_function(previous);
}

const std::vector<ShownBox>& BoxScript::shown() const {
    return shown_boxes;
}

void BoxScript::answer_next(DialogAnswer a) {
    answers.push_back(a);
}

} // namespace quorvel::test
