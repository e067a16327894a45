#include "core/version.hpp"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

TEST(VersionText, MinorHasTwoDigits) {
    EXPECT_EQ(version_text(6, 0), "6.00");
    EXPECT_EQ(version_text(6, 1), "6.01");
    EXPECT_EQ(version_text(6, 10), "6.10");
    EXPECT_EQ(version_text(5, 1), "5.01");
    EXPECT_EQ(version_text(10, 0), "10.00");
}

struct NumberCase {
    Text text;
    double expected;
};

class VersionNumber : public ::testing::TestWithParam<NumberCase> {};

TEST_P(VersionNumber, ReadsTheLeadingDecimalNumber) {
    EXPECT_DOUBLE_EQ(version_number(GetParam().text), GetParam().expected) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, VersionNumber,
    ::testing::Values(NumberCase{"6.01", 6.01}, NumberCase{"10.00", 10.0}, NumberCase{"6", 6.0},
                      NumberCase{"6.", 6.0}, NumberCase{".5", 0.5}, NumberCase{" 6.1", 6.1},
                      NumberCase{"6.02 build 9200", 6.02}, NumberCase{"-1.5", -1.5},
                      NumberCase{"+6", 6.0}, NumberCase{"unknown", 0.0}, NumberCase{"", 0.0},
                      NumberCase{".", 0.0}, NumberCase{"-", 0.0}, NumberCase{"inf", 0.0},
                      NumberCase{"nan", 0.0}, NumberCase{"0x7", 0.0}, NumberCase{"v6.01", 0.0}));

struct SupportCase {
    Text text;
    bool supported;
};

class VersionSupported : public ::testing::TestWithParam<SupportCase> {};

TEST_P(VersionSupported, SixAndLaterPass) {
    EXPECT_EQ(version_supported(GetParam().text), GetParam().supported) << GetParam().text;
}

// The limit is 6 less 0.0000001: within it a value counts as 6, beyond it as older.
INSTANTIATE_TEST_SUITE_P(
    Cases, VersionSupported,
    ::testing::Values(SupportCase{version_text(6, 0), true}, SupportCase{version_text(6, 1), true},
                      SupportCase{version_text(6, 3), true}, SupportCase{version_text(10, 0), true},
                      SupportCase{version_text(5, 1), false},
                      SupportCase{version_text(5, 2), false}, SupportCase{"5.99", false},
                      SupportCase{"5.9999998", false}, SupportCase{"5.99999995", true},
                      SupportCase{"6", true}, SupportCase{"unknown", false},
                      SupportCase{"", false}));

} // namespace
} // namespace quorvel
