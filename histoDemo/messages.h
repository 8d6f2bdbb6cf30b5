// Texts that histoDemo prints.
#pragma once

namespace histoDemo_msg {
inline constexpr char kProgram[] = "histoDemo";  // names the program in a lost-output report
inline constexpr char kSelectorLine[] = "count_bgr is %d\n";
inline constexpr char kPixelsLine[] = "nbofpix is %d\n";
// On the standard error: an argument shape other than none or one file; also what --help says.
inline constexpr char kUsage[] = "Usage : %s [file]\n";
// What --help says after the usage line.
inline constexpr char kDescription[] =
    "Draws the colour histogram of a synthetic staircase, or of the TGA image in file, into\n"
    "test.tga in the working directory and prints the colour selector and pixel count.\n";
// On the standard error: the image file and why it cannot be drawn.
inline constexpr char kFileFailed[] = "%s: %s\n";
// On the standard error: an image file shorter than its header says, charted all the same.
inline constexpr char kPixelsMissing[] =
    "%s: the file ends early, %zu of its %zu pixels are missing and charted as black\n";
inline constexpr char kNotReadable[] = "not a TGA image of a kind that can be read";
}  // namespace histoDemo_msg
