// The chat server's side of the wire: the image transfer it sends and the headers and lines
// it reads from the talk connection.
#pragma once

// Sends one image transfer of "input/vorla.tga", relative to the working directory, on the
// service connection `sock`: the file size as 4 bytes, little-endian (-1 when the file cannot be
// opened, is not a regular file or does not fit the 32-bit size), then the file's bytes: never
// more than announced, and never a byte that did not come from the file, so a file that shrinks
// or fails meanwhile sends fewer (said on the standard error).
// Prints the size and progress messages on the standard output; an image announced as -1 is
// also named on the standard error with the reason ("input/vorla.tga: No such file or
// directory").
void send_img(int sock);

// Reads one name header from the talk connection `sock` into `name`, which holds 10 bytes (the
// length as 4 bytes, little-endian, then the name's bytes):
// at most 9 name bytes are kept, the rest is still taken off the connection, and `name` is
// always terminated (empty when no header could be read).
void read_header(int sock, char *name);
