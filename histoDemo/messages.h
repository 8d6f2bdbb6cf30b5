// Texts that histoDemo prints.
#pragma once

namespace histoDemo_msg {
inline constexpr char kProgram[] = "histoDemo";  // names the program in a lost-output report
inline constexpr char kSelectorLine[] = "count_bgr is %d\n";
inline constexpr char kPixelsLine[] = "nbofpix is %d\n";
// What --help says; the program takes no other arguments.
inline constexpr char kUsage[] = "Usage : %s\n";
inline constexpr char kDescription[] =
    "Draws the colour histogram of a synthetic staircase into test.tga in the working\n"
    "directory and prints the colour selector and pixel count it passes.\n";
}  // namespace histoDemo_msg
