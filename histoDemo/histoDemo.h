// histoDemo's logic: the staircase demo, or the colour histogram of an image file, drawn into
// "test.tga".
#pragma once

#include "imgfile/imgfile.h"

namespace histoDemo {

inline constexpr int kBins = 32;  // per channel: a value v falls into bin v / 8

// The 96 bar heights of img's histogram: 32 blue bins, 32 green, 32 red. A bin of count c is
// c * 500 / max pixels high (truncated), max being the largest count of all 96 bins, so that the
// tallest bar reaches the top of the vertical axis; all 0 for an image without pixels.
void barHeights(const image_desc &img, int (&heights)[3 * kBins]);

// The program after its options: no argument draws the staircase; one argument, FILE, draws
// the histogram of the image in FILE (any TGA kind that readImage decodes). Any other argument
// shape (more than one argument, an empty one, one that starts with '-') prints the usage line
// on the standard error and returns 2. A file that cannot be read (a directory, a read error)
// or is refused returns 1 with "FILE: reason" on the standard error and nothing written. A file
// shorter than its header says is charted with its missing pixels black, and one line on the
// standard error says how many were missing. Otherwise returns 0, or 1 when the chart could
// not be written (reported by the chart).
int run(int argc, char **argv);

}  // namespace histoDemo
