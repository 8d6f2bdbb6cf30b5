// Texts that the chart module prints, and the names of its chart files.
#pragma once

#include <cinttypes>

namespace chartPainter_msg {
inline constexpr char kHistoTitle[] = "--------------histo info";
inline constexpr char kHistoEntry[] = "%d ";
inline constexpr char kHistoSum[] = "sum is %" PRId64 " \n";
inline constexpr char kBarHeight[] = "yy is %" PRId64 "\n";
inline constexpr char kFileFailure[] = "%s: %s\n";  // file name, then the system's reason

inline constexpr char kHistogramFile[] = "test.tga";
inline constexpr char kSizeFile[] = "test_size.tga";
inline constexpr char kThreeBarFile[] = "test.tga";
}  // namespace chartPainter_msg
