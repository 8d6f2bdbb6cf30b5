// Forms of the charts that tell whether the chart file was written, for the toolkit's own
// programs. Not installed: the public interface is chartPainter.h.
#pragma once

namespace chartPainter_detail {

// Draws the colour histogram exactly as drawHisImage_main does. Returns false, after printing
// the file name and the reason on the standard error, when "test.tga" could not be written
// completely; the previous "test.tga" is then left as it was.
bool drawHistogram(const int *his, int count_bgr);

}  // namespace chartPainter_detail
