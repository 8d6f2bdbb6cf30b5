// Texts that the matrix demo prints.
#pragma once

namespace matrixDemo_msg {
inline constexpr char kValue[] = "\t%d";
// Names the program when its output could not be written.
inline constexpr char kProgram[] = "matrixDemo";
}  // namespace matrixDemo_msg
