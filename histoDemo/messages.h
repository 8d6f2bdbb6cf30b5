// Texts that histoDemo prints.
#pragma once

namespace histoDemo_msg {
inline constexpr char kProgram[] = "histoDemo";  // names the program in a lost-output report
inline constexpr char kSelectorLine[] = "count_bgr is %d\n";
inline constexpr char kPixelsLine[] = "nbofpix is %d\n";
}  // namespace histoDemo_msg
