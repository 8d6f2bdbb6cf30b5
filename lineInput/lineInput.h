// Console line reader: one line of the standard input, without its line end and outer spaces.
#pragma once

// Trims the spaces (0x20 only; tabs and carriage returns are text) at both ends of `str`:
// trailing spaces are overwritten with terminators in place, and the result points at the
// first character that is not a space, or at the terminator when nothing is left. Returns
// `str` itself when there is nothing to trim at the start. Null for a null `str`.
char *delSpaceBeforeEnd(char *str);

// Reads one line from the standard input, up to and including its newline, and returns
// it without the newline and trimmed like delSpaceBeforeEnd. Characters after the newline
// stay unread for the next call. Of a line longer than 499 characters the first 499 are
// kept and the rest of the line is read and dropped. At the end of the input the
// characters read so far, if any, are returned as a line.
// Returns null at the end of the input (or on a read error) when no character was read,
// and when the line buffer cannot be allocated (then nothing is read), so
// `while ((line = readInMyWay()))` ends.
//
// This form moves the trimmed line to the start of its buffer: release it with
// free(line).
char *readInMyWay();

// Like readInMyWay() but leaves the line where it lies in its buffer: the result points
// past any leading spaces, and *pBuffer receives the start of the buffer, which the caller
// releases with free(*pBuffer). *pBuffer is null whenever the result is null. A null
// `pBuffer` gives the form above.
char *readInMyWay(char **pBuffer);
