// Texts that the size analysis prints.
#pragma once

namespace sizeAnalyser_msg {
inline constexpr char kSize[] = "p->size is %d\n";
inline constexpr char kExtremes[] = "The Maximum size is %d, and the minimum size is %d\n";
inline constexpr char kPrompt[] = "Please input the size and terminted with -1";
inline constexpr char kMaxi[] = "maxi is %d\n";
inline constexpr char kFirstClass[] = "In the set < %d, there are %d images\n";
inline constexpr char kClass[] = "In the %d < set < %d, there are %d images\n";
// Printed on the standard error after the report when the directory could not be opened, and
// when the standard input failed (not ended) while thresholds were read.
inline constexpr char kDirectoryFailed[] = "%s: %s\n";
inline constexpr char kInputFailed[] = "sizeAnalyser: standard input: %s\n";
// Printed on the standard error for an argument shape other than none or one directory.
inline constexpr char kUsage[] = "Usage : %s [directory]\n";
// What --help says after the usage line.
inline constexpr char kDescription[] =
    "Prints the size figure (width x height x 3 / 1000) of every TGA image of the directory\n"
    "(without one, of the images the program was installed with), reads thresholds from the\n"
    "standard input up to -1 and says how many images fall into each class they bound.\n";
}  // namespace sizeAnalyser_msg
