// Internal to the server (not installed): the forms of its transfers that tell how they went,
// and the chat-line reader of its conversation.
#pragma once

#include <cstdio>

namespace server_detail {

// send_img that tells how it went, printing on `out` and `err`: 1 when the whole transfer was
// written, 0 when the service connection failed (the reason is on `err`), -1 when the file gave
// fewer bytes than announced: only the bytes read were sent, and the announced and read counts
// (and the read error, if any) are on `err`. After 0 or -1 the client can no longer be kept in
// step: the conversation ends.
int send_img_checked(int sock, std::FILE *out = stdout, std::FILE *err = stderr);

// read_header that tells how it went: 1 when a header was read, 0 when the talk connection
// ended or failed, or announced a length below 0 or over 1 MiB (said on `err`).
int read_header_checked(int sock, char *name, std::FILE *err = stderr);

// Reads one chat line from `sock`, in blocks, up to and including '\n' or 0xFF; no byte after
// the line is taken off a socket. `line` holds 100 bytes: the first 99 bytes of the line are
// kept and terminated; the rest is read and dropped. `*last` receives the line's real last byte.
// Returns 1 for a whole line, 0 when the connection ended or failed first (said on `err`).
int read_chat_line(int sock, char *line, unsigned char *last, std::FILE *err = stderr);

}  // namespace server_detail
