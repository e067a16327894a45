#include "core/output_cap.hpp"

#include <gtest/gtest.h>

using quorvel::output_needs_emptying;

TEST(OutputCap, EmptiesOnlyWhenTheSumPasses30000Bytes) {
    struct Case {
        std::size_t box, chunk;
        bool empties;
    } cases[] = {
        {29900, 200, true}, {29900, 100, false}, {30000, 0, false},
        {30000, 1, true},   {0, 260, false},     {0, 30001, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(output_needs_emptying(c.box, c.chunk), c.empties) << c.box << " + " << c.chunk;
}
