// Tests of the matrix printer and the matrixDemo program.
#include "matrixDemo/matrixDemo.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/capture.h"
#include "tests/support/process.h"

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

TEST(matrixDemo, PrintsItsThreeByThreeMatrixOrFailsWhenItCannot) {
    const std::string demo = tgatest::program("matrixDemo").string();
    auto r = tgatest::run({demo, "ignored"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "\t1\t2\t3\n\t4\t5\t6\n\t7\t8\t9\n");
    EXPECT_EQ(r.err, "");

    r = tgatest::run({"/bin/sh", "-c", "exec \"$0\" >/dev/full", demo});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "matrixDemo: No space left on device\n");

    // A closed output loses what is printed: a failure too, not a silent success.
    r = tgatest::run({"/bin/sh", "-c", "exec \"$0\" >&-", demo});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "matrixDemo: Bad file descriptor\n");
}

}  // namespace
