// TGA image file store: the 18-byte header record, the planar image and the five operations
// that read TGA files of every standard kind and write uncompressed 24-bit ones.
#pragma once

#include <cstddef>
#include <cstdint>

// The TGA file header, its fields in the order of the file's 18 bytes. width and height are
// numbers (little-endian in the file on every host, converted when read and written); every
// other byte is kept as it lies in the file.
typedef struct targa_header_ {
    uint8_t idlength;       // length of the identification field that follows the header
    uint8_t colourmaptype;  // 1 when a colour map follows the identification field, else 0
    uint8_t datatypecode;   // TGA image type: 1, 2, 3 (9, 10, 11 run-length encoded)
    uint8_t useless[9];     // colour map fields (first index, length, entry bits) and
                            // x/y origin, each 16-bit value little-endian as in the file
    uint16_t width;         // in pixels
    uint16_t height;        // in pixels
    uint8_t useless2[2];    // pixel depth in bits, descriptor byte (bit 5: top row first)
} targa_header;

static_assert(sizeof(targa_header) == 18, "targa_header must be the 18 bytes of the file");
static_assert(offsetof(targa_header, useless) == 3);
static_assert(offsetof(targa_header, width) == 12);
static_assert(offsetof(targa_header, height) == 14);
static_assert(offsetof(targa_header, useless2) == 16);

// A planar image: one byte per pixel in each plane, in the file's pixel order.
// The planes are owned by the descriptor (allocated by readImage or mallocImage, released by
// freeImage); the record itself and fname belong to the caller.
typedef struct image_desc_ {
    char *fname;  // the file the image belongs to; never set or read by this module
    uint16_t width;
    uint16_t height;
    uint8_t *pRed;
    uint8_t *pBlue;
    uint8_t *pGreen;
} image_desc;

// Reads the first 18 bytes of fName into *pHead. The record is zeroed first, so bytes that a
// shorter file (or a directory) does not supply read as 0. Returns 1, or 0 when the file cannot
// be opened; *pHead is then untouched and errno tells why.
int readImageHead(targa_header *pHead, const char *fName);

// Reads the header and the width x height pixels of fName into three newly allocated planes of
// *pDesc, one byte per pixel and channel. Every standard kind is decoded:
//   type 1 (colour-mapped), 2 (true colour), 3 (grey), and 9, 10, 11 (their run-length forms,
//   whose packets may cross rows); pixel depths 8 (grey or map index), 15 and 16 (5-5-5,
//   attribute bit ignored, 5 bits widened as (v << 3) | (v >> 2); for grey, a grey byte and an
//   alpha byte), 24, and 32 (alpha dropped); 8- or 16-bit indices into a map of 15/16-, 24- or
//   32-bit entries that starts at its first-entry index (an index outside the map reads as 0).
// Pixels start after the identification field and any colour map. Every multi-byte field is
// little-endian. A header of type 0 or depth 0 (what this writer put out from a zeroed header
// in the past) is read as uncompressed 24-bit pixels from byte 18.
// Planes keep file order: pixel k of the file is pixel k of each plane, the origin bits are not
// applied (rows run bottom to top unless bit 5 of the descriptor, head.useless2[1], is set).
// Pixels that a short file does not supply read as 0 (a pixel cut short keeps the bytes it
// has). Returns 1, or 0 with errno set, printing nothing and with *pDesc and *pHead untouched
// and nothing left allocated, when the file cannot be opened (errno from open), a read fails (errno
// from read, such as EISDIR for a directory or EIO: a read error is not the end of the file), the
// header is not one of the kinds above (EINVAL: an unknown type or colour-map type, a depth the
// type does not allow, a colour-mapped image without a map, any file that is not a TGA image),
// width x height exceeds the signed 32-bit range (EOVERFLOW) or memory runs out (ENOMEM).
// Memory stays at the planes plus bounded buffers, whatever the header claims.
// Planes already held by *pDesc are not released: call freeImage first.
int readImage(image_desc *pDesc, targa_header *pHead, const char *fName);

// Sets the dimensions and allocates three uninitialised planes of width x height bytes.
// Returns the plane size. Returns 0 and allocates nothing when pDesc is null (EINVAL), when
// width x height exceeds the signed 32-bit range (EOVERFLOW) or when memory runs out (ENOMEM);
// *pDesc is then untouched.
int mallocImage(image_desc *pDesc, uint16_t width, uint16_t height);

// Writes an uncompressed 24-bit true-colour file: an 18-byte header that says so (identification
// length 0, colour-map type 0, type 2, depth 24), with the caller's colour-map fields and
// origin, the descriptor's width and height, and bits 4 to 7 (origin, interleave) of head's
// descriptor byte; then the planes' pixels, blue, green, red each. head itself is not changed.
// Prints the header fields written ("[read mem_targa] Header : ...") on the standard output
// once the file is open. Returns 1, or 0 with a message on the standard error naming the file
// when it cannot be created, written or closed. A descriptor that cannot be written (planes
// missing, EINVAL; width x height beyond the signed 32-bit range, EOVERFLOW) is refused with
// the write message before any file is touched, and nothing is printed on the standard output.
// The image is written to a new file beside the file fName leads to (links followed; a
// dangling link's target is created) and renamed over it once complete, so a failure leaves
// the old file as it was; a regular file replaced passes on its permission bits and, where
// allowed, its owner. Written in place instead: what is not a regular file, a file that may
// not be written, /dev/fd/N, /proc/self/fd/N, /dev/stdout, /dev/stderr, and a file whose
// directory refuses new files (EACCES, EPERM).
int writeImage(image_desc iDesc, targa_header head, const char *fName);

// Releases the three planes and sets them to null; calling it again releases nothing.
void freeImage(image_desc *pDesc);
