// Tests of the command-word helpers.
#include "textUtil/textUtil.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace {

using List = std::vector<std::string>;
using Ints = std::vector<int>;

// A word table filled by str_split, whose words are released with the object.
struct Words {
    explicit Words(std::string line) : text(std::move(line)) {
        text.push_back('\0');
        table.assign(text.size() + 1, reinterpret_cast<char *>(&poison));
        count = str_split(text.data(), table.data());
    }
    ~Words() {
        for (int i = 0; i < count; ++i)
            std::free(table[static_cast<std::size_t>(i)]);
    }
    Words(const Words &) = delete;
    Words &operator=(const Words &) = delete;

    List list() const { return {table.begin(), table.begin() + count}; }

    int poison = 0;  // marks entries str_split did not write
    std::string text;
    std::vector<char *> table;
    int count = 0;
};

TEST(str_split, CutsAtSpacesOnlyIntoCopiesOfTheirOwn) {
    Words w("  ab   cd  ");
    ASSERT_EQ(w.count, 2);
    EXPECT_EQ(w.list(), (List{"ab", "cd"}));
    EXPECT_EQ(w.table[2], nullptr);
    w.table[0][0] = 'X';  // the words are copies: the text does not change with them
    w.table[1][1] = 'Y';
    // Only the first space after each word is cut; the rest of the text is as it was.
    EXPECT_EQ(w.text, std::string("  ab\0  cd\0 \0", 12));

    EXPECT_EQ(Words("a\tb envoie\n").list(), (List{"a\tb", "envoie\n"}));
    Words single("word");
    EXPECT_EQ(single.list(), (List{"word"}));
    EXPECT_EQ(single.table[1], nullptr);
}

TEST(str_split, EmptyAllSpaceOrNullGiveNoWords) {
    for (const char *line : {"", " ", "     "}) {
        Words w(line);
        EXPECT_EQ(w.count, 0) << '"' << line << '"';
        EXPECT_EQ(w.table[0], nullptr);
        EXPECT_EQ(w.text, std::string(line) + '\0');
    }
    char *table[2] = {};
    EXPECT_EQ(str_split(nullptr, table), -1);
    char text[] = "a b";
    EXPECT_EQ(str_split(text, nullptr), -1);
    EXPECT_STREQ(text, "a b");
}

TEST(startswith, ComparesOnlyTheStartByteForByte) {
    const struct {
        const char *prefix, *str;
        int expected;
    } cases[] = {{"envoie", "envoie", 1},  {"envoie", "envoie moi ça\n", 1},
                 {"envoie", "envoyer", 0}, {"info", "Info", 0},
                 {"envoie", "env", 0},     {"x", "", 0},
                 {"", "anything", 1},      {"", "", 1},
                 {nullptr, "text", -1},    {"text", nullptr, -1},
                 {nullptr, nullptr, -1}};
    for (const auto &c : cases)
        EXPECT_EQ(startswith(c.prefix, c.str), c.expected)
            << (c.prefix ? c.prefix : "null") << " / " << (c.str ? c.str : "null");
}

// Converts `words` (the first two never read) and returns `set`, prefilled with 1234.
Ints numbers(std::vector<const char *> words, int nb) {
    List store(words.size());
    std::vector<char *> table;
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (words[i] != nullptr) store[i] = words[i];
        table.push_back(words[i] == nullptr ? nullptr : store[i].data());
    }
    Ints set(words.size(), 1234);
    argStringToNb(nb, table.data(), set.data());
    return set;
}

TEST(argStringToNb, EachCharacterAddsItsCodeMinus48) {
    EXPECT_EQ(numbers({"x", "y", "125", "007", "-5", "1a", "", "\x80"}, 8),
              (Ints{125, 7, -25, 59, 0, 128 - 304, 1234, 1234}));
    // Wraps around in 32 bits.
    EXPECT_EQ(numbers({"", "", "2147483647", "2147483648", "4294967296", "4294967301"}, 6),
              (Ints{2147483647, -2147483647 - 1, 0, 5, 1234, 1234}));
}

TEST(argStringToNb, OnlyWordsTwoToNbMinusOneBeforeTheEndAreConverted) {
    EXPECT_EQ(numbers({"1", "2", "3"}, 2), (Ints{1234, 1234, 1234}));
    EXPECT_EQ(numbers({"1", "2", "3", "4", "5"}, 4), (Ints{3, 4, 1234, 1234, 1234}));
    EXPECT_EQ(numbers({nullptr, nullptr, "9"}, 3), (Ints{9, 1234, 1234}));
    EXPECT_EQ(numbers({"1", "2", "3"}, -7), (Ints{1234, 1234, 1234}));
    EXPECT_EQ(numbers({"a", "b", "42", nullptr, "7"}, 5), (Ints{42, 1234, 1234, 1234, 1234}));
    argStringToNb(5, nullptr, nullptr);  // nothing to read, nothing to write
}

TEST(ToStringHis, JoinsWordsWithLessThanSignsInWordZero) {
    Words w("b g r");
    char *const g = w.table[1];
    char *joined = ToStringHis(3, w.table.data());
    EXPECT_STREQ(joined, "b<g<r");
    EXPECT_EQ(w.table[0], joined);
    EXPECT_EQ(w.table[1], g);
    EXPECT_STREQ(w.table[2], "r");

    // Only the first nb words, and none past the null entry of a short table.
    Words three("ab cde f");
    EXPECT_STREQ(ToStringHis(2, three.table.data()), "ab<cde");
    Words two("x y");
    EXPECT_STREQ(ToStringHis(9, two.table.data()), "x<y");
}

TEST(ToStringHis, OneWordOrFewerIsReturnedUnchanged) {
    Words w("solo other");
    char *const solo = w.table[0];
    EXPECT_EQ(ToStringHis(1, w.table.data()), solo);
    EXPECT_EQ(ToStringHis(0, w.table.data()), solo);
    EXPECT_STREQ(solo, "solo");

    char *empty[1] = {nullptr};
    EXPECT_EQ(ToStringHis(3, empty), nullptr);
    EXPECT_EQ(ToStringHis(3, nullptr), nullptr);
}

TEST(convertirString, TurnsLessThanSignsIntoSpacesInPlaceAndInACopy) {
    Words w(" rouge  vert bleu ");
    char *joined = ToStringHis(w.count, w.table.data());
    ASSERT_STREQ(joined, "rouge<vert<bleu");
    char plain[] = "plain text";
    char empty[] = "";
    const std::pair<char *, const char *> cases[] = {
        {joined, "rouge vert bleu"}, {plain, "plain text"}, {empty, ""}};
    for (const auto &[text, expected] : cases) {
        char *copy = convertirString(text);
        EXPECT_STREQ(copy, expected);
        EXPECT_STREQ(text, expected);
        EXPECT_NE(copy, text);
        std::free(copy);
    }
    EXPECT_EQ(convertirString(nullptr), nullptr);
}

TEST(calculBgr, EveryColourLetterCountsWhereverItStands) {
    const std::pair<const char *, int> cases[] = {
        {"bgr", 111}, {"RGB", 111},     {"b<g<r", 111}, {"b", 1},       {"g", 10},
        {"r", 100},   {"bb", 2},        {"blue", 1},    {"green", 110}, {"red", 100},
        {"", 0},      {"cyan 42\t", 0}, {nullptr, 0}};
    for (const auto &[text, expected] : cases)
        EXPECT_EQ(calculBgr(text), expected) << (text ? text : "null");
}

TEST(calculBgr, HugeCountWrapsInsteadOfOverflowing) {
    // NOLINTNEXTLINE(bugprone-string-constructor): the length is the point of the test
    const std::string reds(25'000'000, 'r');  // 2.5e9 > INT32_MAX
    EXPECT_EQ(calculBgr(reds.c_str()), -1'794'967'296);
}

}  // namespace
