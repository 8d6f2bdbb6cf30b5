// Internal to the toolkit (not installed): the TGA decoder of the image file store, reading
// from a byte source (memory, or a descriptor read in blocks), and the file read with what the
// public readImage does not tell, for the toolkit's own programs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "imgfile/imgfile.h"

namespace imgfile_detail {

// Bytes per refill of a descriptor's buffer: 64 Ki pixels of 24 bits, split while still in
// the cache.
inline constexpr std::size_t kBufferBytes = std::size_t{3} * 65536;

// The bytes the decoder reads, from the start of a file or a block of memory.
class ByteSource {
  public:
    // The bytes of `memory`, which must outlive the source; nothing is copied.
    explicit ByteSource(std::span<const std::uint8_t> memory)
        : base_(memory.empty() ? &kNoByte : memory.data()), end_(memory.size()), ended_(true) {}
    // The descriptor `fd` from its current offset, through one buffer of kBufferBytes.
    explicit ByteSource(int fd) : fd_(fd), buffer_(kBufferBytes), base_(buffer_.data()) {}
    ByteSource(const ByteSource &) = delete;
    ByteSource &operator=(const ByteSource &) = delete;

    // Makes at least `want` (at most kBufferBytes) bytes available, unless the bytes end first;
    // returns how many are. A read error ends them too, and is kept for error().
    std::size_t fill(std::size_t want) {
        if (end_ - pos_ >= want || ended_) return end_ - pos_;
        return refill(want);
    }
    const std::uint8_t *data() const { return base_ + pos_; }
    void consume(std::size_t n) { pos_ += n; }
    // Drops n bytes, or what is left.
    void skip(std::uint64_t n);
    // Reads up to n bytes straight into `to`, the buffered ones first; returns the count.
    std::size_t readInto(std::uint8_t *to, std::size_t n);
    // Whether `need` more bytes are sure to follow: the memory's size, or a regular file's.
    bool holds(std::uint64_t need) const;
    // The errno of a read that failed, 0 while none has.
    int error() const { return error_; }

  private:
    std::size_t refill(std::size_t want);

    static constexpr std::uint8_t kNoByte = 0;  // what an empty block's data() points at
    int fd_ = -1;
    std::vector<std::uint8_t> buffer_;
    const std::uint8_t *base_;
    std::size_t pos_ = 0, end_ = 0;
    std::uint64_t read_ = 0;  // bytes read from the descriptor so far
    bool ended_ = false;
    int error_ = 0;
};

// readImage over the bytes of `src`, with every result, errno and effect of readImage but the
// open; on success `missing` is how many of the image's pixels the bytes did not supply in
// full (they read as 0, a pixel cut short keeping the bytes it has), 0 for a whole file.
int decode(ByteSource &src, image_desc *pDesc, targa_header *pHead, std::size_t &missing);

// readImage, which is open, then decode: `missing` as above.
int readImageFile(image_desc *pDesc, targa_header *pHead, const char *fName, std::size_t &missing);

}  // namespace imgfile_detail
