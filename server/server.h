// The chat server's side of the wire: the image transfer it sends and the headers and lines
// it reads from the talk connection.
#pragma once

// Sends one image transfer of "input/vorla.tga", relative to the working directory, on the
// service connection `sock`: the file size as 4 bytes in host order (-1 when the file cannot be
// opened, is not a regular file or does not fit the 32-bit size), then the file's bytes.
// Prints the size and progress messages on the standard output.
void send_img(int sock);

// Reads one name header from the talk connection `sock` into `name`, which holds 10 bytes:
// at most 9 name bytes are kept, the rest is still taken off the connection, and `name` is
// always terminated (empty when no header could be read).
void read_header(int sock, char *name);

// send_img that tells how it went: 1 when the whole transfer was written, 0 when the service
// connection failed (the reason is on the standard error).
int send_img_checked(int sock);

// read_header that tells how it went: 1 when a header was read, 0 when the talk connection
// ended or failed, or announced a length below 0 or over 1 MiB (said on the standard error).
int read_header_checked(int sock, char *name);

// Reads one chat line from `sock`, in blocks, up to and including '\n' or 0xFF; no byte after
// the line is taken off a socket. `line` holds 100 bytes: the first 99 bytes of the line are
// kept and terminated; the rest is read and dropped. `*last` receives the line's real last byte.
// Returns 1 for a whole line, 0 when the connection ended or failed first (said on the
// standard error).
int read_chat_line(int sock, char *line, unsigned char *last);
