// How the chat programs show bytes that came from the other side: on a file or a pipe exactly
// as they came, on a terminal with every control byte escaped, so a peer cannot drive the
// terminal (title changes, screen clears, key remapping on some terminals).
// Header only and internal: nothing here is installed.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

namespace chatWire {

// What a peer's text is: a line, whose last byte may be the '\n' that ends it (shown as it
// is), or a field such as the user name, where no byte ends a line.
enum class PeerText { Line, Field };

// True when `out` writes to a terminal.
inline bool showsOnTerminal(std::FILE *out) {
    const int fd = ::fileno(out);
    return fd >= 0 && ::isatty(fd) == 1;
}

// The length of the well-formed UTF-8 sequence of two to four bytes that starts `s` (no
// overlong form, no surrogate, nothing above U+10FFFF), or 0 when none starts there.
inline std::size_t utf8SequenceLength(std::string_view s) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    if (s.empty()) return 0;
    const unsigned char lead = byte(0);
    std::size_t n = 0;
    unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        n = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        n = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        n = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (s.size() < n || byte(1) < low || byte(1) > high) return 0;
    for (std::size_t i = 2; i < n; ++i)
        if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
    return n;
}

// `bytes` as a terminal may show them. Each of these bytes becomes a backslash and three
// octal digits, the form `ls -b` gives bytes it has no letter for (ESC as \033, 0xFF as \377):
//  - bytes below 0x20, except the tab and, in a line, the '\n' that is its last byte;
//  - 0x7F;
//  - the C1 controls: a byte 0x80-0x9F that is not part of a well-formed UTF-8 sequence,
//    and both bytes of a UTF-8 sequence for U+0080-U+009F (0xC2 0x80 - 0xC2 0x9F);
//  - 0xFF, the end byte.
// Other well-formed UTF-8 sequences stay intact, and other bytes 0xA0-0xFE are left as they
// are. A backslash shows doubled, so an escape always tells from text that looks like one.
inline std::string escapedPeerText(std::string_view bytes, PeerText kind) {
    std::string shown;
    shown.reserve(bytes.size());
    const auto escape = [&](unsigned char c) {
        const char digits[] = {'\\', static_cast<char>('0' + (c >> 6)),
                               static_cast<char>('0' + ((c >> 3) & 7)),
                               static_cast<char>('0' + (c & 7))};
        shown.append(digits, sizeof digits);
    };
    for (std::size_t i = 0; i < bytes.size();) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        const std::size_t sequence = c >= 0x80 ? utf8SequenceLength(bytes.substr(i)) : 0;
        if (sequence > 0) {
            const bool c1 = c == 0xC2 && static_cast<unsigned char>(bytes[i + 1]) <= 0x9F;
            for (std::size_t k = 0; k < sequence; ++k)
                c1 ? escape(static_cast<unsigned char>(bytes[i + k]))
                   : shown.push_back(bytes[i + k]);
            i += sequence;
            continue;
        }
        const bool lineEnd = kind == PeerText::Line && c == '\n' && i + 1 == bytes.size();
        if (c == '\\')
            shown += "\\\\";
        else if ((c < 0x20 && c != '\t' && !lineEnd) || (c >= 0x7F && c <= 0x9F) || c == 0xFF)
            escape(c);
        else
            shown.push_back(bytes[i]);
        ++i;
    }
    return shown;
}

// The text to print for a peer's `bytes`: escaped when `terminal` is set (see
// escapedPeerText), the bytes unchanged otherwise.
inline std::string shownPeerText(std::string_view bytes, bool terminal, PeerText kind) {
    return terminal ? escapedPeerText(bytes, kind) : std::string(bytes);
}

}  // namespace chatWire
