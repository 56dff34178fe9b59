#include "pellwick/modMain.h"

#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <random>

using pellwick::SortNumbericArray;

namespace {

TEST(SortNumbericArray, SortsBothWaysOverTheWholeRange) {
    std::vector<std::int32_t> values{5, -3, 12, 0, 5, 2147483647, -2147483647 - 1, 7};
    SortNumbericArray(values, true);
    EXPECT_EQ(values, (std::vector<std::int32_t>{-2147483647 - 1, -3, 0, 5, 5, 7, 12, 2147483647}));
    SortNumbericArray(values, false);
    EXPECT_EQ(values, (std::vector<std::int32_t>{2147483647, 12, 7, 5, 5, 0, -3, -2147483647 - 1}));
}

TEST(SortNumbericArray, PassesStopAfterTheFirstPassWithoutASwap) {
    std::vector<std::int32_t> one{42};
    EXPECT_EQ(SortNumbericArray(one, true), 1);
    EXPECT_EQ(one, std::vector<std::int32_t>{42});

    std::vector<std::int32_t> sorted{1, 2, 2, 3};
    EXPECT_EQ(SortNumbericArray(sorted, true), 1);
    std::vector<std::int32_t> equal{4, 4, 4};
    EXPECT_EQ(SortNumbericArray(equal, false), 1) << "equal elements are never swapped";

    // Neighbour swaps move the smallest element one place per pass: n - 1 passes to
    // bring it from the end to the front, plus the pass that finds nothing to swap.
    std::vector<std::int32_t> reversed{5, 4, 3, 2, 1};
    EXPECT_EQ(SortNumbericArray(reversed, true), 5);
    std::vector<std::int32_t> empty;
    EXPECT_EQ(SortNumbericArray(empty, true), 0);
}

TEST(SortNumbericArray, AgreesWithTheStandardSortOnRandomData) {
    std::mt19937 random(20091);
    std::uniform_int_distribution<std::int32_t> pick(-50, 50);
    for (int round = 0; round < 50; ++round) {
        std::vector<std::int32_t> values(static_cast<std::size_t>(round));
        for (auto& v : values)
            v = pick(random);
        auto expectedUp = values;
        std::sort(expectedUp.begin(), expectedUp.end());
        auto expectedDown = values;
        std::sort(expectedDown.begin(), expectedDown.end(), std::greater<>());
        auto up = values;
        SortNumbericArray(up, true);
        EXPECT_EQ(up, expectedUp);
        auto down = values;
        SortNumbericArray(down, false);
        EXPECT_EQ(down, expectedDown);
    }
}

} // namespace
