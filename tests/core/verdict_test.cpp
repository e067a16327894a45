#include "core/verdict.hpp"

#include <gtest/gtest.h>

#include <set>

using namespace quorvel;

TEST(CountOccurrences, CountsWithoutOverlapAndNeverInsideACharacter) {
    struct Case {
        const char* text;
        const char* needle;
        bool case_sensitive;
        int count;
    } cases[] = {
        {"C:\\>dir\r\nC:\\>", ">", false, 2},
        {"aaaa", "aa", true, 2}, // not 3: no overlap
        {"Devices devices DEVICES", "devices", false, 3},
        {"Devices devices DEVICES", "devices", true, 1},
        {"", ">", false, 0},
        {"\x81>x>", ">", false, 1}, // "\x81>" is one double-byte character
        {"abc", "", false, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(count_occurrences(c.text, c.needle, c.case_sensitive), c.count)
            << c.text << " / " << c.needle;
}

TEST(Verdict, TwoPromptsAndTheMarkerAfterTheFirst) {
    const Text banner = "Microsoft Windows 6.1.7601\r\n\r\n";
    const Text prompt = "C:\\windows\\system32>";
    const Text marker = "\r\n\r\nC:";
    struct Case {
        const char* what;
        Text box;
        Verdict verdict;
    } cases[] = {
        {"banner and first prompt only", banner + prompt, Verdict::pending},
        {"tool still running", banner + prompt + "Flashing 42%\r\n", Verdict::pending},
        {"success", banner + prompt + "Flash completed.\r\n\r\n" + prompt, Verdict::success},
        // The banner holds the marker; only what follows the first prompt counts.
        {"failure with the marker only in the banner",
         banner + prompt + "Error: hash mismatch" + "\r\n" + prompt, Verdict::failure},
        {"a stray > in the tool's output judges at once", banner + prompt + "step > 1\r\n",
         Verdict::failure},
        {"a capped box holding the last prompt only", Text("...\r\n") + "\r\n" + prompt,
         Verdict::pending},
        {"a capped box with a stray > before the end", Text("a > b\r\nDone\r\n\r\n") + prompt,
         Verdict::success},
    };
    for (const Case& c : cases)
        EXPECT_EQ(judge_output(c.box, marker), c.verdict) << c.what;
}

TEST(LogName, FirstFreeLowercaseHexName) {
    std::set<Text> taken = {"C:\\T\\\\ff.tmp", "C:\\T\\\\100.tmp"};
    auto is_taken = [&](const Text& n) { return taken.count(n) > 0; };
    EXPECT_EQ(free_log_name("C:\\T\\\\", 0xfe, is_taken), "C:\\T\\\\fe.tmp");
    EXPECT_EQ(free_log_name("C:\\T\\\\", 0xff, is_taken), "C:\\T\\\\101.tmp");
    EXPECT_EQ(free_log_name("D:\\", 0xABCDEF01u, is_taken), "D:\\abcdef01.tmp");
}
