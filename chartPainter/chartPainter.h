// Bar charts drawn straight into new uncompressed 24-bit TGA files.
//
// Every chart is a square canvas painted white, a black frame (two axes with arrowheads),
// then the chart's bars, written as an 18-byte header followed by the pixels, top row first
// (descriptor 0x20). Files are created in the working directory: each chart is written under a
// temporary name beside its file, then renamed over the file's name, so whatever held the name
// before (a file, a link, a FIFO) is replaced and never written through. A regular file replaced
// passes on its permission bits, and its owner and group where the process may set them; a new
// file gets 0666 less the umask. When the chart cannot be written completely, the previous file
// stays as it was, no temporary file is left, and the chart prints the file name and the
// system's reason on the standard error and returns; no chart reports to its caller. Where the
// file system allows, the chart has no name until it is complete, so nothing is left even when
// the process is killed; elsewhere the asynchronous signals whose default action ends the
// process (SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGUSR1, SIGUSR2, SIGALRM, SIGVTALRM, SIGPROF,
// SIGPOLL, SIGXCPU, SIGPWR, SIGSTKFLT, SIGPIPE and the real-time signals), while at their
// default action, remove it before the process dies of them. While a chart is written, SIGXFSZ at
// its default action is ignored, so a file-size limit is reported as a write failure.
#pragma once

#include <cstdint>
#include <cstdio>

// The chart writer's header record. The 32-bit fields are held wide but written to the file
// as two bytes each, low byte first (see writeheader).
typedef struct targa_header_his_ {
    std::int8_t id_len;          // length of the image ID field (0)
    std::int8_t map_type;        // colour map type (0)
    std::int8_t img_type;        // 2: uncompressed true-colour
    std::int32_t map_first;      // first colour map entry (0)
    std::int32_t map_len;        // colour map length (0)
    std::int8_t map_entry_size;  // bits per colour map entry (0)
    std::int32_t x;              // x origin (0)
    std::int32_t y;              // y origin (0)
    std::int32_t width;          // in pixels
    std::int32_t height;         // in pixels
    std::int8_t bpp;             // bits per pixel (24)
    std::int8_t misc;            // image descriptor; 0x20 puts the origin at the top left
} targa_header_his;

// One canvas pixel. Charts store only 0 or 255 in a channel; a channel goes to the file as
// its value modulo 256.
typedef struct pixel_ {
    std::int32_t b;
    std::int32_t g;
    std::int32_t r;
} pixel;

// Writes the 18 header bytes of `h` to `tga`, one character call per byte, in file order.
// Each 32-bit field is written as its value modulo 256, then its value divided by 256.
// `tga` must be an open stream; errors show up on the stream (ferror), not here.
void writeheader(targa_header_his h, FILE *tga);

// Draws the colour histogram into "test.tga" (600 by 600, with the dotted grid). `his` holds
// 96 bar heights in pixels: 32 blue bins, then 32 green, then 32 red. `count_bgr` selects the
// channels drawn: 1 blue, 10 green, 100 red, 111 all three; any other value draws only the
// frame. Heights of 0 or less draw nothing; taller bars are cut at the top of the canvas.
// `nbOfPix` is accepted and not used. Prints nothing on success.
void drawHisImage_main(const int *his, int count_bgr, int nbOfPix);

// Prints "--------------histo info", then for each of the three rows of 256 entries in
// `hist` its first `nb` entries (kept within 0 to 256) and the running sum of all entries
// printed so far.
void afficherHis(const int *hist, int nb);

// Draws the size-class chart into "test_size.tga" (260 by 260): one black bar per class,
// (num[i] * 200) / nbImage pixels high, and prints "yy is <height>" once per bar column.
// `set` (the class bounds) is accepted and not used. With `nbImage` of 0 or less no bar is
// drawn; classes past the eleventh would fall off the canvas and are not drawn.
void drawHis_size(const int *set, const int *num, int nbset, int nbImage);

// Draws three bars of cnt[0], cnt[1] and cnt[2] pixels (blue, green, red) into "test.tga"
// (260 by 260), over the part of the dotted grid that fits the canvas. Only reads `cnt`.
// Heights of 0 or less draw nothing; taller bars are cut at the top of the canvas.
void drawHis_threeRect(int *cnt);
