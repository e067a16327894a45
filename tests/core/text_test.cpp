#include "core/text.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quorvel {
namespace {

// Byte escapes make the double-byte traps visible: GBK trail bytes run from 0x40 to 0xFE and so
// include ASCII letters, '|' and '\'. "\xB0\xA1" is one character, "\x81\x41" another whose second
// byte is 'A'.

TEST(TextLiterals, ProgramTextsAreGbkAtRunTime) {
    EXPECT_EQ(Text("中文"), Text("\xD6\xD0\xCE\xC4"));
    EXPECT_EQ(Text("　"), Text("\xA1\xA1")); // the full-width space
}

struct FindCase {
    const char* what;
    Text hay;
    Text needle;
    int start;
    bool ignore_case;
    int expected;
};

class FindText : public ::testing::TestWithParam<FindCase> {};

TEST_P(FindText, GivesBytePositionFromOne) {
    const FindCase& c = GetParam();
    EXPECT_EQ(find_text(c.hay, c.needle, c.start, c.ignore_case), c.expected) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FindText,
    ::testing::Values(
        FindCase{"first byte", "abc", "a", 1, false, 1},
        FindCase{"later", "xxabc", "abc", 1, false, 3},
        FindCase{"absent", "abc", "abd", 1, false, -1},
        FindCase{"needle longer than hay", "ab", "abc", 1, false, -1},
        FindCase{"at or after start", "abcabc", "abc", 2, false, 4},
        FindCase{"start on the match", "abcabc", "abc", 4, false, 4},
        FindCase{"start past last match", "abcabc", "abc", 5, false, -1},
        FindCase{"start below 1 counts as 1", "abc", "a", -3, false, 1},
        FindCase{"start beyond the end", "abc", "c", 4, false, -1},
        FindCase{"empty needle is never found", "abc", "", 1, false, -1},
        FindCase{"empty hay", "", "a", 1, false, -1},
        FindCase{"case matters by default", "Devices Found", "found", 1, false, -1},
        FindCase{"case ignored", "Devices Found", "found", 1, true, 9},
        FindCase{"needle case ignored", "devices found", "FOUND", 1, true, 9},
        FindCase{"ASCII only when ignoring case", "\xC0\xA1", "\xE0\xA1", 1, true, -1},
        FindCase{"no match on a trail byte", "\x81\x41", "A", 1, false, -1},
        FindCase{"match after a character with that trail",
                 "\x81\x41"
                 "A",
                 "A", 1, false, 3},
        FindCase{"no match across two characters", "\xB0\xA1\xB0\xA1", "\xA1\xB0", 1, false, -1},
        FindCase{"double-byte needle", "ab\xD6\xD0\xCE\xC4", "\xCE\xC4", 1, false, 5},
        FindCase{"start on a trail byte moves on",
                 "\x81\x41"
                 "A",
                 "A", 2, false, 3},
        FindCase{"trail 0x5C is no backslash",
                 "C:\x95\x5C"
                 "a\\b",
                 "\\", 1, false, 6},
        FindCase{"trail letters are not folded", "\x81\x61", "\x81\x41", 1, true, -1},
        FindCase{"folding after a character", "\xB0\xA1Ok", "\xB0\xA1OK", 1, true, 1},
        FindCase{"lone lead byte at the end", "ab\xB0", "\xB0", 1, false, 3},
        FindCase{"program text", "ffutool 已经不再被支持！", "支持", 1, false, 19}));

struct ReplaceCase {
    const char* what;
    Text s, from, to;
    bool ignore_case;
    Text expected;
};

class ReplaceText : public ::testing::TestWithParam<ReplaceCase> {};

TEST_P(ReplaceText, ReplacesEveryOccurrenceLeftToRight) {
    const ReplaceCase& c = GetParam();
    EXPECT_EQ(replace_text(c.s, c.from, c.to, c.ignore_case), c.expected) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReplaceText,
    ::testing::Values(
        ReplaceCase{"all occurrences", "a-b-c", "-", "+", false, "a+b+c"},
        ReplaceCase{"non-overlapping from the left", "aaa", "aa", "b", false, "ba"},
        ReplaceCase{"replacement holding the pattern", "aXa", "a", "aa", false, "aaXaa"},
        ReplaceCase{"removal", "a\r\nb\r\n", "\r\n", "", false, "ab"},
        ReplaceCase{"nothing found", "abc", "x", "y", false, "abc"},
        ReplaceCase{"empty pattern changes nothing", "abc", "", "y", false, "abc"},
        ReplaceCase{"case ignored", "Hello HELLO hello", "hello", "bye", true, "bye bye bye"},
        ReplaceCase{"case kept", "Hello HELLO hello", "hello", "bye", false, "Hello HELLO bye"},
        ReplaceCase{"trail bytes left alone",
                    "\x81\x41"
                    "A\x81\x41",
                    "A", "x", false, "\x81\x41x\x81\x41"},
        ReplaceCase{"no match across characters", "\xB0\xA1\xB0\xA1", "\xA1\xB0", "!", false,
                    "\xB0\xA1\xB0\xA1"},
        ReplaceCase{"double-byte pattern", "中文中文", "文", "x", false, "中x中x"}));

struct SplitCase {
    const char* what;
    Text s, sep;
    std::vector<Text> expected;
};

class SplitText : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitText, KeepsInnerEmptyPiecesOnly) {
    const SplitCase& c = GetParam();
    EXPECT_EQ(split_text(c.s, c.sep), c.expected) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SplitText,
    ::testing::Values(
        SplitCase{"plain", "a,b,c", ",", {"a", "b", "c"}},
        SplitCase{"empty piece between separators", "a,,b", ",", {"a", "", "b"}},
        SplitCase{"nothing after a final separator", "a,b,", ",", {"a", "b"}},
        SplitCase{"leading separator", ",a", ",", {"", "a"}},
        SplitCase{"separator alone", ",", ",", {""}}, SplitCase{"empty text", "", ",", {}},
        SplitCase{"no separator", "abc", ",", {"abc"}},
        SplitCase{"empty separator", "abc", "", {"abc"}},
        SplitCase{"line breaks", "one\r\ntwo\r\n\r\nfour\r\n", "\r\n", {"one", "two", "", "four"}},
        SplitCase{"trail byte equal to the separator", "\x81\x7C|b", "|", {"\x81\x7C", "b"}},
        SplitCase{"double-byte separator", "甲，乙，", "，", {"甲", "乙"}}));

struct TrimCase {
    const char* what;
    Text s, expected;
};

class TrimText : public ::testing::TestWithParam<TrimCase> {};

TEST_P(TrimText, RemovesSpacesAtBothEnds) {
    const TrimCase& c = GetParam();
    EXPECT_EQ(trim_text(c.s), c.expected) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TrimText,
    ::testing::Values(TrimCase{"ASCII spaces", "  a b  ", "a b"},
                      TrimCase{"full-width spaces",
                               "\xA1\xA1"
                               "a\xA1\xA1",
                               "a"},
                      TrimCase{"mixed", " \xA1\xA1 a \xA1\xA1 ", "a"},
                      TrimCase{"inner spaces kept", "a \xA1\xA1 b", "a \xA1\xA1 b"},
                      TrimCase{"only spaces", "  \xA1\xA1  ", ""}, TrimCase{"empty", "", ""},
                      TrimCase{"tabs and line breaks are not spaces", "\ta\r\n", "\ta\r\n"},
                      TrimCase{"character ending in 0xA1 before a full-width space",
                               "\xB0\xA1\xA1\xA1", "\xB0\xA1"},
                      TrimCase{"trail 0xA1 and a lone 0xA1 are no full-width space", "\xB0\xA1\xA1",
                               "\xB0\xA1\xA1"},
                      TrimCase{"lone 0xA1 after a full-width space", "\xB0\xA1\xA1\xA1\xA1",
                               "\xB0\xA1\xA1\xA1\xA1"},
                      TrimCase{"trail 0x20 is no space", "\x81\x20", "\x81\x20"}));

TEST(EndsWithSeparator, LooksAtTheLastCharacter) {
    EXPECT_TRUE(ends_with_separator("C:\\Temp\\"));
    EXPECT_TRUE(ends_with_separator("/tmp/"));
    EXPECT_TRUE(ends_with_separator("\x95\x5C\\"));
    EXPECT_FALSE(ends_with_separator("C:\\Temp"));
    EXPECT_FALSE(ends_with_separator(""));
    EXPECT_FALSE(ends_with_separator("C:\\\x95\x5C")); // a character whose trail byte is 0x5C
}

} // namespace
} // namespace quorvel
