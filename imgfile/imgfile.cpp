// The image file store's public operations: reading a header, reading a whole file through the
// decoder (tgaDecoder.cpp), and allocating, writing and releasing planar images.
#include "imgfile/imgfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "fdio/fdio.h"
#include "fileio/fileio.h"
#include "imgfile/messages.h"
#include "imgfile/pixelKernels.h"
#include "imgfile/planes.h"
#include "imgfile/tgaBytes.h"
#include "imgfile/tgaDecoder.h"

namespace {

struct FileClose {
    void operator()(std::FILE *f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileClose>;

using imgfile_detail::kHeaderBytes;
using imgfile_detail::planeSize;
// Pixels moved per block: 192 KiB of interleaved bytes, split or joined while still in the cache.
constexpr std::size_t kBlockPixels = 65536;

bool writePixels(std::FILE *f, const image_desc &d, std::size_t n) {
    const auto join = imgfile_detail::chosen().join;
    std::vector<uint8_t> block(3 * std::min(n, kBlockPixels));
    for (std::size_t done = 0; done < n;) {
        const std::size_t count = std::min(n - done, kBlockPixels);
        join(d.pBlue + done, d.pGreen + done, d.pRed + done, count, block.data());
        if (std::fwrite(block.data(), 1, 3 * count, f) != 3 * count) return false;
        done += count;
    }
    return true;
}

// Prints the header line, then writes the header and the n pixels of d to f.
bool writeFile(std::FILE *f, const image_desc &d, const targa_header &head, std::size_t n) {
    // The header says what follows: uncompressed 24-bit true colour at byte 18, no
    // identification field, no colour map. The descriptor keeps its origin bits (4-5) and its
    // interleave bits (6-7): the rows go out in the order they came in.
    targa_header out = head;
    out.idlength = 0;
    out.colourmaptype = 0;
    out.datatypecode = 2;
    out.width = d.width;
    out.height = d.height;
    out.useless2[0] = 24;
    out.useless2[1] = static_cast<uint8_t>(head.useless2[1] & 0xF0U);
    std::printf(imgfile_msg::kHeaderLine, unsigned{out.idlength}, unsigned{out.colourmaptype},
                unsigned{out.datatypecode}, unsigned{out.width}, unsigned{out.height});
    std::uint8_t bytes[kHeaderBytes];
    imgfile_detail::headerToBytes(out, bytes);
    return std::fwrite(bytes, kHeaderBytes, 1, f) == 1 && writePixels(f, d, n);
}

std::string directoryOf(const std::string &path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Names that stand for a descriptor of this process: renaming over what they lead to would
// leave it writing to a deleted file.
bool namesADescriptor(const std::string &path) {
    return path.starts_with("/dev/fd/") || path.starts_with("/proc/self/fd/") ||
           path == "/dev/stdout" || path == "/dev/stderr";
}

// The file that a new image replaces: where fName leads once every link is followed (the
// target of a dangling link, or a name not yet taken, is created there). Nothing when the
// image is written in place: the name leads to something other than a regular file, to a
// descriptor of the process, to a file that may not be written, or through links that loop.
std::optional<std::string> replacedFile(const char *fName) {
    std::string path = fName;
    if (path.empty()) return std::nullopt;
    for (int links = 0; links < 40; ++links) {
        if (namesADescriptor(path)) return std::nullopt;
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0) return path;
        if (!S_ISLNK(st.st_mode)) {
            if (!S_ISREG(st.st_mode) || ::access(path.c_str(), W_OK) != 0) return std::nullopt;
            return path;
        }
        std::string to(4096, '\0');
        const ssize_t len = ::readlink(path.c_str(), to.data(), to.size());
        if (len <= 0 || static_cast<std::size_t>(len) == to.size()) return std::nullopt;
        to.resize(static_cast<std::size_t>(len));
        if (to.front() != '/') {
            std::string dir = directoryOf(path);
            dir += '/';
            to.insert(0, dir);
        }
        path = std::move(to);
    }
    return std::nullopt;
}

// A hidden name beside the file, short enough for any file system.
std::string newFilePattern(const std::string &file) {
    const std::string dir = directoryOf(file);
    const auto slash = file.rfind('/');
    const std::string base = slash == std::string::npos ? file : file.substr(slash + 1);
    return dir + "/." + (base.size() <= 200 ? base : std::string("image")) + ".XXXXXX";
}

}  // namespace

int readImageHead(targa_header *pHead, const char *fName) {
    // A plain descriptor: a directory scan reads thousands of headers, and a stream would
    // allocate a buffer and ask for the file's block size for each of them.
    const int fd = open(fName, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    // Fewer than 18 bytes (a short file, a directory) leave the rest of the record at 0.
    std::uint8_t bytes[kHeaderBytes] = {};
    static_cast<void>(fdio::readUpTo(fd, bytes, kHeaderBytes));
    close(fd);
    *pHead = imgfile_detail::headerFromBytes(bytes);
    return 1;
}

int readImage(image_desc *pDesc, targa_header *pHead, const char *fName) {
    std::size_t missing = 0;
    return imgfile_detail::readImageFile(pDesc, pHead, fName, missing);
}

int mallocImage(image_desc *pDesc, uint16_t width, uint16_t height) {
    if (pDesc == nullptr) {
        errno = EINVAL;
        return 0;
    }
    const auto n = planeSize(width, height);
    if (!n) {
        errno = EOVERFLOW;
        return 0;
    }
    auto planes = imgfile_detail::allocPlanes(*n, false);
    if (!planes) return 0;
    pDesc->width = width;
    pDesc->height = height;
    pDesc->pBlue = planes->blue.release();
    pDesc->pGreen = planes->green.release();
    pDesc->pRed = planes->red.release();
    return static_cast<int>(*n);
}

// cppcheck-suppress passedByValue ; the interface takes both records by value
int writeImage(image_desc iDesc, targa_header head, const char *fName) {
    using namespace imgfile_msg;
    // A call that is bound to fail must not create or truncate anything.
    const auto n = planeSize(iDesc.width, iDesc.height);
    const bool havePlanes = iDesc.pBlue && iDesc.pGreen && iDesc.pRed;
    if (!n || (*n != 0 && !havePlanes)) {
        errno = n ? EINVAL : EOVERFLOW;
        std::fprintf(stderr, kCannotWrite, fName);
        return 0;
    }

    // The new image goes to a new file beside the file the name leads to, renamed over it once
    // complete; where that cannot be, the file is written in place.
    const auto target = replacedFile(fName);
    std::optional<fileio::NewFile> file;
    if (target) {
        file.emplace(newFilePattern(*target));
        if (file->stream() == nullptr && errno != EACCES && errno != EPERM) {
            std::fprintf(stderr, kCannotCreate, fName);
            return 0;
        }
    }
    File inPlace;
    if (!file || file->stream() == nullptr) {
        inPlace.reset(std::fopen(fName, "wb"));
        if (!inPlace) {
            std::fprintf(stderr, kCannotCreate, fName);
            return 0;
        }
    }
    std::FILE *const out = inPlace ? inPlace.get() : file->stream();
    errno = 0;
    const bool written = writeFile(out, iDesc, head, *n);
    const int failure = written ? 0 : (errno != 0 ? errno : EIO);
    const int err = inPlace ? fileio::closeWritten(inPlace.release(), failure)
                            : file->keepAs(target->c_str(), failure);
    if (err != 0) {
        std::fprintf(stderr, kCannotWrite, fName);
        errno = err;
        return 0;
    }
    return 1;
}

void freeImage(image_desc *pDesc) {
    if (pDesc == nullptr) return;
    std::free(pDesc->pBlue);
    pDesc->pBlue = nullptr;
    std::free(pDesc->pGreen);
    pDesc->pGreen = nullptr;
    std::free(pDesc->pRed);
    pDesc->pRed = nullptr;
}
