// The chat client's side of the wire: the name header it sends and the image it receives.
#pragma once

// Sends the name header on the talk connection `sock`: the name's length (strlen) as 4 bytes,
// little-endian, then the name's bytes without terminator. A null name is sent as an empty one.
// Any descriptor serves (a pipe, a file). A failed write is not reported here: the next write
// on the connection fails the same way.
void write_header(int sock, const char *name);

// Receives `size` image bytes from the service connection `sock` and stores them as
// "output/testsortie.tga" under the working directory, creating "output/" when missing.
// The bytes go to a new file in "output/" that replaces "output/testsortie.tga" (whatever is
// there, link or not, is replaced, never written through) once all `size` bytes have arrived.
// A transfer cut short leaves "output/testsortie.tga" as it was and keeps the bytes that came
// as "output/testsortie.tga.part". A size below 0 (the server could not open its image)
// receives nothing, creates the file empty when missing and leaves anything there unchanged.
// Bytes move in bounded chunks straight to the file, so memory does not depend on `size`; that
// memory is taken before anything is created, so std::bad_alloc leaves nothing behind.
// The image (or the .part) is synced before it takes its name and its directory after, so it
// survives a power cut once reported. A regular file it replaces passes on its permission bits,
// and its owner and group where the process may set them; a new one gets 0666 less the umask.
// The .part takes those of "output/testsortie.tga" when that is a regular file, else those of
// the .part it replaces. Until it is complete the new file has no name where the file system
// allows, so even SIGKILL leaves nothing new behind, and only its owner may open it. The
// asynchronous signals whose default action ends the process (SIGHUP, SIGINT, SIGQUIT, SIGTERM,
// SIGUSR1, SIGUSR2, SIGALRM, SIGVTALRM, SIGPROF, SIGPOLL, SIGXCPU, SIGPWR, SIGSTKFLT, SIGPIPE and
// the real-time signals) are held during the transfer and taken only while waiting for bytes;
// with the handlers of the client program they end the transfer as a cut one (the .part is
// kept) before the process dies of the signal.
// Prints "Copie terminee : lu N octets , " on the standard output; a transfer cut short, or a
// file that cannot be written, is reported on the standard error, and the bytes announced are
// still taken off the connection where they arrive.
void recv_img(int sock, int size);
