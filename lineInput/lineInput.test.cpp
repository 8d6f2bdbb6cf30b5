// Tests of the console line reader; readInMyWay is fed through a pipe into lineInput_echo.
#include "lineInput/lineInput.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

#include "tests/support/process.h"

namespace {

using namespace std::string_literals;

TEST(delSpaceBeforeEnd, TrimsOuterSpacesOnlyInPlace) {
    const struct {
        std::string text;      // with its terminator
        std::ptrdiff_t start;  // of the result in the text
        std::string after;     // the whole buffer afterwards
    } cases[] = {
        // Every trailing space becomes a terminator; nothing is moved.
        {"  ab  cd  \0"s, 2, "  ab  cd\0\0\0"s},
        {"\t x \r\0"s, 0, "\t x \r\0"s},  // other blanks are text
        {"a b\0"s, 0, "a b\0"s},
        {"   \0"s, 0, "\0\0\0\0"s},
        {"\0"s, 0, "\0"s},
        {" a \0 b \0"s, 1, " a\0\0 b \0"s},  // an inner zero ends the text
    };
    for (auto c : cases) {
        char *result = delSpaceBeforeEnd(c.text.data());
        EXPECT_EQ(result, c.text.data() + c.start) << c.after;
        EXPECT_EQ(c.text, c.after);
    }
    EXPECT_EQ(delSpaceBeforeEnd(nullptr), nullptr);
}

// Feeds `input` to lineInput_echo, which prints every line between brackets, then "end".
void expectEcho(const std::string &input, const std::string &lines, bool withBuffer = false) {
    std::vector<std::string> argv{tgatest::program("lineInput_echo").string()};
    if (withBuffer) argv.emplace_back("--buffer");
    tgatest::RunOptions options;
    options.input = input;
    const auto r = tgatest::run(argv, options);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, lines + "end\n");
    EXPECT_EQ(r.err, "");
}

TEST(readInMyWay, ReturnsEachLineTrimmedInTurnUntilTheInputEnds) {
    expectEcho("first\n  second  \n\n     \n", "[first]\n[second]\n[]\n[]\n");
    expectEcho("  ab  cd  \n", "[ab  cd]\n");
    // Tabs, carriage returns and high bytes are text; a zero byte ends the text, not the line.
    expectEcho("a\t\nb\r\n\tc \xff\n", "[a\\t]\n[b\\r]\n[\\tc \\xff]\n");
    expectEcho(std::string("ab\0cd\nnext\n", 11), "[ab]\n[next]\n");
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
