// A peer's bytes as the chat programs show them on a terminal.
#include "chatWire/peerText.h"

#include <gtest/gtest.h>

#include <string>

using chatWire::escapedPeerText;
using chatWire::PeerText;
using chatWire::shownPeerText;

TEST(escapedPeerText, ControlBytesShowAsOctalEscapes) {
    // A title change (OSC), a screen clear and the other controls; tab and a line's final
    // newline stay, a backslash shows doubled.
    EXPECT_EQ(escapedPeerText("\x1b]0;pwned\x07hi\x1b[2J\tx\\033\x7f\r\n", PeerText::Line),
              "\\033]0;pwned\\007hi\\033[2J\tx\\\\033\\177\\015\n");
    EXPECT_EQ(escapedPeerText(std::string("a\0b\n\n", 5), PeerText::Line), "a\\000b\\012\n");
    // In a field no newline ends a line; 0xFF is the end byte.
    EXPECT_EQ(escapedPeerText("bob\n\xff", PeerText::Field), "bob\\012\\377");
    EXPECT_EQ(shownPeerText("\x1b[2J\xff\n", false, PeerText::Line), "\x1b[2J\xff\n");
}

TEST(escapedPeerText, Utf8StaysIntactC1ControlsDoNot) {
    // é, €, 𝄞 and a no-break space (U+00A0) are text.
    const std::string text = "caf\xc3\xa9 \xe2\x82\xac \xf0\x9d\x84\x9e \xc2\xa0\n";
    EXPECT_EQ(escapedPeerText(text, PeerText::Line), text);
    // CSI as a byte, CSI as a UTF-8 character, a lone continuation byte, a sequence cut
    // short, an overlong form and a surrogate: every byte 0x80-0x9F among them is escaped.
    EXPECT_EQ(escapedPeerText("\x9b"
                              "2J\xc2\x9b"
                              "2J\x85\xe2\x82!\xe0\x80\x80\xed\xa0\x80",
                              PeerText::Line),
              "\\2332J\\302\\2332J\\205\xe2\\202!\xe0\\200\\200\xed\xa0\\200");
}
