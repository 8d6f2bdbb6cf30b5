// The checked close of a stream that was written, shared by the image file store and the chart
// writer (which reaches it by path; neither links the other). Header only and internal:
// nothing here is installed.
#pragma once

#include <cerrno>
#include <cstdio>

namespace tgakit_io {

// Flushes and closes `f`, which is closed in every case. Returns 0 when every byte written
// reached the file, otherwise an error number: `err` when the caller already met a failure
// while writing (its reason is the one to report), else the reason of the first failure of
// the flush or the close. A full disk may show only in the flush or the close.
inline int closeWritten(std::FILE *f, int err = 0) {
    const auto reason = [] { return errno != 0 ? errno : EIO; };
    if (std::fflush(f) != 0 && err == 0) err = reason();
    if (std::ferror(f) != 0 && err == 0) err = EIO;
    if (std::fclose(f) != 0 && err == 0) err = reason();
    return err;
}

}  // namespace tgakit_io
