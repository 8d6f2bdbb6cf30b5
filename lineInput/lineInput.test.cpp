// Tests of the console line reader; readInMyWay is fed through a pipe into lineInput_echo.
#include "lineInput/lineInput.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testing/process.h"

namespace {

TEST(delSpaceBeforeEnd, TrimsOuterSpacesOnlyInPlace) {
    char text[] = "  ab  cd  ";
    char *result = delSpaceBeforeEnd(text);
    EXPECT_EQ(result, text + 2);
    EXPECT_STREQ(result, "ab  cd");
    // Every trailing space became a terminator; nothing was moved.
    EXPECT_EQ(std::string(text, sizeof text), std::string("  ab  cd\0\0\0", 11));
}

TEST(delSpaceBeforeEnd, OtherBlanksAreText) {
    char text[] = "\t x \r";
    EXPECT_EQ(delSpaceBeforeEnd(text), text);
    EXPECT_STREQ(text, "\t x \r");
}

TEST(delSpaceBeforeEnd, NothingToTrimReturnsTheTextItself) {
    char text[] = "a b";
    EXPECT_EQ(delSpaceBeforeEnd(text), text);
    EXPECT_STREQ(text, "a b");
}

TEST(delSpaceBeforeEnd, SpacesAloneOrNothingGiveTheEmptyText) {
    char spaces[] = "   ";
    char *result = delSpaceBeforeEnd(spaces);
    EXPECT_STREQ(result, "");
    EXPECT_EQ(std::string(spaces, sizeof spaces), std::string(4, '\0'));

    char empty[] = "";
    EXPECT_EQ(delSpaceBeforeEnd(empty), empty);
    EXPECT_EQ(delSpaceBeforeEnd(nullptr), nullptr);
}

TEST(delSpaceBeforeEnd, StopsAtAnInnerZeroByte) {
    char text[] = " a \0 b ";
    EXPECT_STREQ(delSpaceBeforeEnd(text), "a");
    EXPECT_EQ(text[5], 'b');
}

tgatest::RunResult echo(const std::string &input, bool withBuffer = false) {
    std::vector<std::string> argv{tgatest::program("lineInput_echo").string()};
    if (withBuffer) argv.emplace_back("--buffer");
    tgatest::RunOptions options;
    options.input = input;
    return tgatest::run(argv, options);
}

void expectEcho(const std::string &input, const std::string &lines, bool withBuffer = false) {
    const auto r = echo(input, withBuffer);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, lines + "end\n");
    EXPECT_EQ(r.err, "");
}

TEST(readInMyWay, ReturnsEachLineTrimmedInTurn) {
    expectEcho("first\n  second  \n\n     \n", "[first]\n[second]\n[]\n[]\n");
    expectEcho("  ab  cd  \n", "[ab  cd]\n");
}

TEST(readInMyWay, KeepsTabsCarriageReturnsAndHighBytes) {
    expectEcho("a\t\nb\r\n\tc \xff\n", "[a\\t]\n[b\\r]\n[\\tc \\xff]\n");
}

TEST(readInMyWay, ZeroByteEndsTheTextButNotTheLine) {
    expectEcho(std::string("ab\0cd\nnext\n", 11), "[ab]\n[next]\n");
}

TEST(readInMyWay, EndOfInputEndsTheLoop) {
    expectEcho("", "");
    expectEcho("last line  ", "[last line]\n");
    expectEcho("one\n  ", "[one]\n[]\n");
}

TEST(readInMyWay, LongLineKeepsItsFirst499Characters) {
    const std::string head(499, 'x');
    expectEcho(head + "\n", "[" + head + "]\n");
    expectEcho(head + "DROPPED\nnext\n", "[" + head + "]\n[next]\n");
    expectEcho(std::string(3000, 'y') + "\n", "[" + std::string(499, 'y') + "]\n");
    expectEcho(" " + std::string(600, 'z') + " ", "[" + std::string(498, 'z') + "]\n");
}

TEST(readInMyWay, BufferFormLeavesTheLineInPlace) {
    expectEcho("  ab  cd  \nplain\n   \n", "+2 [ab  cd]\n+0 [plain]\n+0 []\n", true);
    expectEcho("", "", true);
}

}  // namespace
