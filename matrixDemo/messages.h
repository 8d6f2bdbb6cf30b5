// Texts that the matrix demo prints.
#pragma once

namespace matrixDemo_msg {
inline constexpr char kValue[] = "\t%d";
// Names the program when its output could not be written.
inline constexpr char kProgram[] = "matrixDemo";
// What --help says; the program ignores any other arguments.
inline constexpr char kUsage[] = "Usage : %s\n";
inline constexpr char kDescription[] =
    "Prints the 3 x 3 matrix of the values 1 to 9, one row per line, each value after a tab.\n";
}  // namespace matrixDemo_msg
