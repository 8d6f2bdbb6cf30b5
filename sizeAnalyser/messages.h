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
}  // namespace sizeAnalyser_msg
