// The port argument of the chat programs.
#include "chatWire/chatWire.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

TEST(portFromText, OnlyDecimalNumbersFrom1To65535) {
    EXPECT_EQ(chatWire::portFromText("1"), 1);
    EXPECT_EQ(chatWire::portFromText("5000"), 5000);
    EXPECT_EQ(chatWire::portFromText("65535"), 65535);
    EXPECT_EQ(chatWire::portFromText("05000"), 5000);
    for (const char *wrong :
         {"", "0", "00", "65536", "70000", "4294972296", "99999999999999999999", "5000x", "x5000",
          " 5000", "5000 ", "+5000", "-5000", "0x10", "--help"})
        EXPECT_EQ(chatWire::portFromText(wrong), std::nullopt) << '"' << wrong << '"';
    EXPECT_EQ(chatWire::portFromText(nullptr), std::nullopt);
}

}  // namespace
