#include "core/folder_path.hpp"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

struct PathCase {
    Text path;
    bool deletable;
};

class DeletableFolderPath : public ::testing::TestWithParam<PathCase> {};

TEST_P(DeletableFolderPath, RefusesEmptyPathsAndDriveRoots) {
    EXPECT_EQ(is_deletable_folder_path(GetParam().path), GetParam().deletable)
        << "[" << GetParam().path << "]";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DeletableFolderPath,
    ::testing::Values(PathCase{"", false}, PathCase{"   ", false}, PathCase{"C:", false},
                      PathCase{"C:\\", false}, PathCase{"c:/", false}, PathCase{"  D:\\", false},
                      PathCase{"z:", false}, PathCase{"\\", false}, PathCase{"/", false},
                      PathCase{"C:\\Temp\\\\ffutool", true}, PathCase{"  C:\\Temp\\x", true},
                      PathCase{"C:\\x", true}, PathCase{"C:x", true}, PathCase{"ab", true},
                      PathCase{"/tmp/x", true}));

} // namespace
} // namespace quorvel
