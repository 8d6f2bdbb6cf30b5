// Tests of the command-word helpers.
#include "textUtil/textUtil.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

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

    std::vector<std::string> list() const {
        std::vector<std::string> out;
        for (int i = 0; i < count; ++i)
            out.emplace_back(table[static_cast<std::size_t>(i)]);
        return out;
    }

    int poison = 0;  // marks entries str_split did not write
    std::string text;
    std::vector<char *> table;
    int count = 0;
};

using List = std::vector<std::string>;

TEST(str_split, CutsAtRunsOfSpacesInPlace) {
    Words w("  ab   cd  ");
    ASSERT_EQ(w.count, 2);
    EXPECT_EQ(w.list(), (List{"ab", "cd"}));
    EXPECT_EQ(w.table[2], nullptr);
    // Only the first space after each word is cut; the rest of the text is as it was.
    EXPECT_EQ(w.text, std::string("  ab\0  cd\0 \0", 12));
    EXPECT_STREQ(w.text.c_str(), "  ab");
}

TEST(str_split, KeepsTabsAndNewlinesInsideWords) {
    Words w("a\tb envoie\n");
    EXPECT_EQ(w.list(), (List{"a\tb", "envoie\n"}));
    Words single("word");
    EXPECT_EQ(single.list(), (List{"word"}));
    EXPECT_EQ(single.table[1], nullptr);
}

TEST(str_split, EmptyAndAllSpaceTextsGiveNoWords) {
    for (const char *line : {"", " ", "     "}) {
        Words w(line);
        EXPECT_EQ(w.count, 0) << '"' << line << '"';
        EXPECT_EQ(w.table[0], nullptr);
        EXPECT_EQ(w.text, std::string(line) + '\0');
    }
}

TEST(str_split, EachWordIsACopyOfItsOwn) {
    Words w("abc de");
    ASSERT_EQ(w.count, 2);
    w.table[0][0] = 'X';
    w.table[1][1] = 'Y';
    EXPECT_EQ(w.text, std::string("abc\0de\0", 7));
}

TEST(str_split, NullArgumentsAreRefused) {
    char *table[2] = {};
    EXPECT_EQ(str_split(nullptr, table), -1);
    char text[] = "a b";
    EXPECT_EQ(str_split(text, nullptr), -1);
    EXPECT_STREQ(text, "a b");
}

TEST(startswith, ComparesOnlyTheStartByteForByte) {
    EXPECT_EQ(startswith("envoie", "envoie"), 1);
    EXPECT_EQ(startswith("envoie", "envoie moi ça\n"), 1);
    EXPECT_EQ(startswith("envoie", "envoyer"), 0);
    EXPECT_EQ(startswith("info", "Info"), 0);
    EXPECT_EQ(startswith("envoie", "env"), 0);
    EXPECT_EQ(startswith("x", ""), 0);
}

TEST(startswith, EmptyPrefixMatchesEverything) {
    EXPECT_EQ(startswith("", "anything"), 1);
    EXPECT_EQ(startswith("", ""), 1);
}

TEST(startswith, NullArgumentGivesMinusOne) {
    EXPECT_EQ(startswith(nullptr, "text"), -1);
    EXPECT_EQ(startswith("text", nullptr), -1);
    EXPECT_EQ(startswith(nullptr, nullptr), -1);
}

// Converts `words` (the first two never read) and returns `set`, prefilled with 1234.
std::vector<int> numbers(std::vector<const char *> words, int nb) {
    std::vector<std::string> store;
    for (const char *w : words)
        store.emplace_back(w == nullptr ? "" : w);
    std::vector<char *> table;
    for (std::size_t i = 0; i < words.size(); ++i)
        table.push_back(words[i] == nullptr ? nullptr : store[i].data());
    std::vector<int> set(words.size(), 1234);
    argStringToNb(nb, table.data(), set.data());
    return set;
}

TEST(argStringToNb, DigitsAndOtherCharactersAddTheirCodeMinus48) {
    const auto set = numbers({"x", "y", "125", "007", "-5", "1a", "", "\x80"}, 8);
    EXPECT_EQ(set, (std::vector<int>{125, 7, -25, 59, 0, 128 - 304, 1234, 1234}));
}

TEST(argStringToNb, OnlyWordsTwoToNbMinusOneAreConverted) {
    EXPECT_EQ(numbers({"1", "2", "3"}, 2), (std::vector<int>{1234, 1234, 1234}));
    EXPECT_EQ(numbers({"1", "2", "3", "4", "5"}, 4), (std::vector<int>{3, 4, 1234, 1234, 1234}));
    EXPECT_EQ(numbers({nullptr, nullptr, "9"}, 3), (std::vector<int>{9, 1234, 1234}));
    EXPECT_EQ(numbers({"1", "2", "3"}, -7), (std::vector<int>{1234, 1234, 1234}));
}

TEST(argStringToNb, WrapsAroundIn32Bits) {
    const auto set = numbers({"", "", "2147483647", "2147483648", "4294967296", "4294967301"}, 6);
    EXPECT_EQ(set[0], 2147483647);
    EXPECT_EQ(set[1], -2147483647 - 1);
    EXPECT_EQ(set[2], 0);
    EXPECT_EQ(set[3], 5);
}

TEST(argStringToNb, StopsAtTheEndOfTheTable) {
    EXPECT_EQ(numbers({"a", "b", "42", nullptr, "7"}, 5),
              (std::vector<int>{42, 1234, 1234, 1234, 1234}));
    argStringToNb(5, nullptr, nullptr);  // nothing to read, nothing to write
}

// A table of malloc'd copies of `words` followed by a null entry.
std::vector<char *> mallocTable(const std::vector<std::string> &words) {
    std::vector<char *> table;
    for (const auto &w : words) {
        table.push_back(static_cast<char *>(std::malloc(w.size() + 1)));
        std::memcpy(table.back(), w.c_str(), w.size() + 1);
    }
    table.push_back(nullptr);
    return table;
}

void freeTable(std::vector<char *> &table) {
    for (char *w : table)
        std::free(w);
}

TEST(ToStringHis, JoinsWordsWithLessThanSignsInWordZero) {
    auto table = mallocTable({"b", "g", "r"});
    char *const g = table[1];
    char *joined = ToStringHis(3, table.data());
    EXPECT_STREQ(joined, "b<g<r");
    EXPECT_EQ(table[0], joined);
    EXPECT_EQ(table[1], g);
    EXPECT_STREQ(table[2], "r");
    freeTable(table);
}

TEST(ToStringHis, JoinsOnlyTheFirstNbWords) {
    auto table = mallocTable({"ab", "cde", "f"});
    EXPECT_STREQ(ToStringHis(2, table.data()), "ab<cde");
    freeTable(table);
}

TEST(ToStringHis, OneWordOrFewerIsReturnedUnchanged) {
    auto table = mallocTable({"solo", "other"});
    char *const solo = table[0];
    EXPECT_EQ(ToStringHis(1, table.data()), solo);
    EXPECT_EQ(ToStringHis(0, table.data()), solo);
    EXPECT_STREQ(solo, "solo");
    freeTable(table);

    char *empty[1] = {nullptr};
    EXPECT_EQ(ToStringHis(3, empty), nullptr);
    EXPECT_EQ(ToStringHis(3, nullptr), nullptr);
}

TEST(ToStringHis, StopsAtTheNullEntryOfAShortTable) {
    auto table = mallocTable({"x", "y"});
    EXPECT_STREQ(ToStringHis(9, table.data()), "x<y");
    freeTable(table);
}

TEST(convertirString, UndoesTheJoiningOfSplitWords) {
    Words w(" rouge  vert bleu ");
    ASSERT_EQ(w.count, 3);
    char *joined = ToStringHis(w.count, w.table.data());
    ASSERT_STREQ(joined, "rouge<vert<bleu");
    char *copy = convertirString(joined);
    EXPECT_STREQ(copy, "rouge vert bleu");
    EXPECT_STREQ(joined, "rouge vert bleu");
    EXPECT_NE(copy, joined);
    std::free(copy);
}

TEST(convertirString, TextWithoutLessThanSignIsCopiedUnchanged) {
    char text[] = "plain text";
    char *copy = convertirString(text);
    EXPECT_STREQ(copy, "plain text");
    EXPECT_STREQ(text, "plain text");
    EXPECT_NE(copy, text);
    std::free(copy);

    char empty[] = "";
    copy = convertirString(empty);
    EXPECT_STREQ(copy, "");
    std::free(copy);
    EXPECT_EQ(convertirString(nullptr), nullptr);
}

TEST(calculBgr, EveryColourLetterCountsWhereverItStands) {
    EXPECT_EQ(calculBgr("bgr"), 111);
    EXPECT_EQ(calculBgr("RGB"), 111);
    EXPECT_EQ(calculBgr("b<g<r"), 111);
    EXPECT_EQ(calculBgr("b"), 1);
    EXPECT_EQ(calculBgr("g"), 10);
    EXPECT_EQ(calculBgr("r"), 100);
    EXPECT_EQ(calculBgr("bb"), 2);
    EXPECT_EQ(calculBgr("blue"), 1);
    EXPECT_EQ(calculBgr("green"), 110);
    EXPECT_EQ(calculBgr("red"), 100);
}

TEST(calculBgr, NoColourLetterGivesZero) {
    EXPECT_EQ(calculBgr(""), 0);
    EXPECT_EQ(calculBgr("cyan 42\t"), 0);
    EXPECT_EQ(calculBgr(nullptr), 0);
}

TEST(calculBgr, HugeCountWrapsInsteadOfOverflowing) {
    // NOLINTNEXTLINE(bugprone-string-constructor): the length is the point of the test
    const std::string reds(25'000'000, 'r');  // 2.5e9 > INT32_MAX
    EXPECT_EQ(calculBgr(reds.c_str()), -1'794'967'296);
}

}  // namespace
