// TGA image file store: the 18-byte header record, the planar image and the five operations
// that read and write uncompressed 24-bit TGA files.
#pragma once

#include <cstddef>
#include <cstdint>

// The TGA file header, its fields in the order of the file's 18 bytes. width and height are
// numbers (little-endian in the file on every host, converted when read and written); every
// other byte is kept as it lies in the file.
typedef struct targa_header_ {
    uint8_t idlength;       // length of the identification field (never skipped: see readImage)
    uint8_t colourmaptype;  // colour map type; no colour map is read or written
    uint8_t datatypecode;   // TGA image type; not verified
    uint8_t useless[9];     // colour map description and x/y origin, carried through
    uint16_t width;         // in pixels
    uint16_t height;        // in pixels
    uint8_t useless2[2];    // pixel depth and descriptor byte, carried through
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

// Reads the header and the width x height pixels (blue, green, red per pixel, starting at byte
// 18 whatever idlength says) into three newly allocated planes of *pDesc. Pixel bytes that a
// short file does not supply read as 0. Returns 1, or 0 with errno set when the file cannot be
// opened, width x height exceeds the signed 32-bit range (EOVERFLOW) or the planes cannot be
// allocated (ENOMEM); on failure *pDesc is untouched and nothing is left allocated.
// Planes already held by *pDesc are not released: call freeImage first.
int readImage(image_desc *pDesc, targa_header *pHead, const char *fName);

// Sets the dimensions and allocates three uninitialised planes of width x height bytes.
// Returns the plane size. Returns 0 and allocates nothing when pDesc is null (EINVAL), when
// width x height exceeds the signed 32-bit range (EOVERFLOW) or when memory runs out (ENOMEM);
// *pDesc is then untouched.
int mallocImage(image_desc *pDesc, uint16_t width, uint16_t height);

// Writes head, with the descriptor's width and height, and the planes' pixels to fName, after
// printing the header fields on the standard output. Returns 1, or 0 with a message on the
// standard error naming the file when it cannot be created, written or closed. A descriptor
// that cannot be written (planes missing, EINVAL; width x height beyond the signed 32-bit
// range, EOVERFLOW) is refused with the write message before the file is created or truncated,
// and nothing is printed on the standard output.
int writeImage(image_desc iDesc, targa_header head, const char *fName);

// Releases the three planes and sets them to null; calling it again releases nothing.
void freeImage(image_desc *pDesc);
