// The chat client's side of the wire: the name header it sends and the image it receives.
#pragma once

// Sends the name header on the talk connection `sock`: the name's length (strlen) as 4 bytes
// in host order, then the name's bytes without terminator. A null name is sent as an empty one.
// A failed write is not reported here: the next write on the connection fails the same way.
void write_header(int sock, const char *name);

// Receives `size` image bytes from the service connection `sock` and stores them as
// "output/testsortie.tga" under the working directory, creating "output/" when missing.
// For a size of 0 or more the file holds exactly the bytes received; a size below 0 (the
// server could not open its image) receives nothing, creates the file empty when missing and
// leaves an existing one unchanged. Bytes move in bounded chunks straight to the file, so
// memory does not depend on `size`. Prints "Copie terminee : lu N octets , " on the standard
// output; a transfer cut short, or a file that cannot be written, is reported on the standard
// error, and the bytes announced are still taken off the connection where they arrive.
void recv_img(int sock, int size);
