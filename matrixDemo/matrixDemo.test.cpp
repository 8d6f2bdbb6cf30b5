// Tests of the matrix printer and the matrixDemo program.
#include "matrixDemo/matrixDemo.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/capture.h"
#include "tests/support/process.h"
#include "tests/support/programCase.h"

namespace {

std::string printed(int *matrix, int rows, int cols) {
    return tgatest::printed([&] { EXPECT_EQ(func(matrix, rows, cols), 0); });
}

TEST(func, PrintsRowAfterRowWithATabBeforeEachValue) {
    int matrix[] = {1, -2, 3, 40, 2147483647, -2147483647 - 1};
    EXPECT_EQ(printed(matrix, 2, 3), "\t1\t-2\t3\n\t40\t2147483647\t-2147483648\n");
    EXPECT_EQ(printed(matrix, 3, 2), "\t1\t-2\n\t3\t40\n\t2147483647\t-2147483648\n");
    EXPECT_EQ(printed(matrix, 1, 6), "\t1\t-2\t3\t40\t2147483647\t-2147483648\n");
    EXPECT_EQ(printed(matrix, 6, 1), "\t1\n\t-2\n\t3\n\t40\n\t2147483647\n\t-2147483648\n");
}

TEST(func, NoRowsPrintNothingAndNoColumnsAnEmptyLinePerRow) {
    int matrix[] = {7};
    EXPECT_EQ(printed(matrix, 0, 1), "");
    EXPECT_EQ(printed(matrix, -3, 1), "");
    EXPECT_EQ(printed(nullptr, 2, 5), "");
    EXPECT_EQ(printed(matrix, 3, 0), "\n\n\n");
    EXPECT_EQ(printed(nullptr, 2, -1), "\n\n");
}

TEST(matrixDemo, PrintsItsThreeByThreeMatrix) {
    const auto r = tgatest::run({tgatest::program("matrixDemo").string(), "ignored"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "\t1\t2\t3\n\t4\t5\t6\n\t7\t8\t9\n");
    EXPECT_EQ(r.err, "");
}

// Output that cannot be written is a failure, also to a closed output: not a silent success.
class StandardStreams : public testing::TestWithParam<tgatest::ProgramCase> {};

TEST_P(StandardStreams, Case) {
    tgatest::expectCase(GetParam());
}

INSTANTIATE_TEST_SUITE_P(
    matrixDemo, StandardStreams,
    testing::ValuesIn(std::vector<tgatest::ProgramCase>{
        {"fullDisk", {}, ">/dev/full", 1, "", "matrixDemo: No space left on device\n"},
        {"closedOutput", {}, ">&-", 1, "", "matrixDemo: Bad file descriptor\n"}}),
    tgatest::rowName);

}  // namespace
