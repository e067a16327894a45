// Answers the program's message boxes from a script and records what they showed.
#pragma once
#include "win/message_box.hpp"

#include <deque>
#include <string>
#include <vector>

namespace quorvel::test {

struct ShownBox {
    std::string text, title;
    unsigned style;
};

class BoxScript {
public:
    // Each box shown takes the next answer; with none left the test fails and Cancel is given.
    explicit BoxScript(std::deque<DialogAnswer> answers);
    ~BoxScript();
    BoxScript(const BoxScript&) = delete;
    BoxScript& operator=(const BoxScript&) = delete;

    const std::vector<ShownBox>& shown() const;
    void answer_next(DialogAnswer a);
};

} // namespace quorvel::test
