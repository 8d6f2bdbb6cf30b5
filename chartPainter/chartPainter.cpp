// The chart canvas, its two frames and its TGA writer, and the three charts drawn on them.
#include "chartPainter/chartPainter.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <initializer_list>
#include <new>
#include <span>
#include <string>
#include <vector>

#include "chartPainter/checkedCharts.h"
#include "chartPainter/messages.h"
#include "fileio/fileio.h"

namespace {

// ---------------------------------------------------------------------------------------------
// Fixed values
// ---------------------------------------------------------------------------------------------

using namespace chartPainter_msg;

constexpr int kLargeSide = 600;
constexpr int kSmallSide = 260;

constexpr pixel kBlack{0, 0, 0};
constexpr pixel kBlue{255, 0, 0};
constexpr pixel kGreen{0, 255, 0};
constexpr pixel kRed{0, 0, 255};

// ---------------------------------------------------------------------------------------------
// Canvas
// ---------------------------------------------------------------------------------------------

// A canvas kept directly in the file's pixel order: rows from the top, each pixel as its b, g
// and r bytes. The finished canvas is the pixel stream and goes to the file in one write.
class Canvas {
  public:
    Canvas(std::int32_t width, std::int32_t height)
        : width_(std::max(width, 0)),
          height_(std::max(height, 0)),
          // White is 0xFF in every channel, so a fresh canvas is all white.
          bytes_(
              std::size_t{3} * static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_),
              0xFF) {}

    // Paints one pixel; points off the canvas are ignored, so no drawing can stray outside.
    void set(int col, int row, pixel p) {
        if (col < 0 || col >= width_ || row < 0 || row >= height_) return;
        const std::size_t at =
            3 * (static_cast<std::size_t>(row) * static_cast<std::size_t>(width_) +
                 static_cast<std::size_t>(col));
        bytes_[at] = static_cast<unsigned char>(p.b);
        bytes_[at + 1] = static_cast<unsigned char>(p.g);
        bytes_[at + 2] = static_cast<unsigned char>(p.r);
    }

    // Rows top to bottom of one column, both ends included.
    void column(int col, int top, int bottom, pixel p) {
        for (int row = std::max(top, 0); row <= bottom && row < height_; ++row)
            set(col, row, p);
    }

    // Columns left to right of one row, both ends included.
    void row(int row, int left, int right, pixel p) {
        for (int col = std::max(left, 0); col <= right && col < width_; ++col)
            set(col, row, p);
    }

    std::span<const unsigned char> bytes() const { return bytes_; }

  private:
    int width_;
    int height_;
    std::vector<unsigned char> bytes_;
};

// ---------------------------------------------------------------------------------------------
// Frames and bars
// ---------------------------------------------------------------------------------------------

struct Frame {
    int originCol;   // the vertical axis; the horizontal axis starts here too
    int axisRow;     // the horizontal axis, which owns the corner pixel
    int axisEndCol;  // last column of the horizontal axis
    int topRow;      // top end of the vertical axis
};

constexpr Frame kLargeFrame{44, 550, 555, 50};
constexpr Frame kSmallFrame{30, 230, 229, 30};

void drawFrame(Canvas &canvas, const Frame &f) {
    canvas.row(f.axisRow, f.originCol, f.axisEndCol, kBlack);
    // Right arrowhead: five columns, reaching five rows below the axis and four above.
    const int tipCol = f.axisEndCol + 1;
    for (int i = 0; i <= 4; ++i) {
        canvas.column(tipCol + i, f.axisRow + i - 4, f.axisRow + 5 - i, kBlack);
    }
    canvas.column(f.originCol, f.topRow, f.axisRow - 1, kBlack);
    // Top arrowhead: covers the four axis pixels below the top one, which alone forms the tip.
    for (int i = 1; i <= 4; ++i) {
        canvas.row(f.topRow + i, f.originCol - i + 1, f.originCol + i, kBlack);
    }
}

// The large frame's dotted grid. On a smaller canvas only the dots that fit are drawn.
void drawGrid(Canvas &canvas) {
    for (int row = 50; row <= 450; row += 100) {
        for (int col = 44; col <= 554; col += 3)
            canvas.set(col, row, kBlack);
    }
}

// A bar standing on `baseRow` (filling the rows above it) in columns left to right. Heights of
// 0 or less draw nothing; a bar taller than the space above its base is cut at row 0.
void drawBar(Canvas &canvas, int left, int right, int baseRow, std::int64_t height, pixel p) {
    if (height <= 0) return;
    const int top = height >= baseRow ? 0 : baseRow - static_cast<int>(height);
    for (int col = left; col <= right; ++col)
        canvas.column(col, top, baseRow - 1, p);
}

// ---------------------------------------------------------------------------------------------
// Files
// ---------------------------------------------------------------------------------------------

void reportFailure(const char *name, int err) {
    std::fprintf(stderr, kFileFailure, name, std::strerror(err != 0 ? err : EIO));
}

targa_header_his chartHeader(int side) {
    targa_header_his h{};
    h.img_type = 2;
    h.width = side;
    h.height = side;
    h.bpp = 24;
    h.misc = 0x20;
    return h;
}

// The steps every chart shares: header, white canvas, frame, the chart's own drawing, pixels,
// all into a new file that then takes the chart's name. Reports and returns false when the
// file cannot be made complete.
template <class Draw>
bool writeChart(const char *name, int side, const Frame &frame, Draw draw) {
    try {
        const targa_header_his header = chartHeader(side);
        // Written beside its file and renamed over it once complete.
        fileio::NewFile file(std::string(name) + ".XXXXXX");
        if (file.stream() == nullptr) {
            reportFailure(name, errno);
            return false;
        }
        writeheader(header, file.stream());
        Canvas canvas(header.width, header.height);
        drawFrame(canvas, frame);
        draw(canvas);
        const auto bytes = canvas.bytes();
        errno = 0;
        const bool written =
            std::fwrite(bytes.data(), 1, bytes.size(), file.stream()) == bytes.size();
        const int err = file.keepAs(name, written ? 0 : (errno != 0 ? errno : EIO));
        if (err != 0) reportFailure(name, err);
        return err == 0;
    } catch (const std::bad_alloc &) {
        reportFailure(name, ENOMEM);
        return false;
    }
}

void writeWide(std::int32_t value, FILE *tga) {
    std::fputc(static_cast<unsigned char>(value % 256), tga);
    std::fputc(static_cast<unsigned char>(value / 256), tga);
}

void writeNarrow(std::int8_t value, FILE *tga) {
    std::fputc(static_cast<unsigned char>(value), tga);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Public interface
// ---------------------------------------------------------------------------------------------

void writeheader(targa_header_his h, FILE *tga) {
    writeNarrow(h.id_len, tga);
    writeNarrow(h.map_type, tga);
    writeNarrow(h.img_type, tga);
    // The colour map's first entry and length, then its entry size.
    for (const std::int32_t wide : {h.map_first, h.map_len})
        writeWide(wide, tga);
    writeNarrow(h.map_entry_size, tga);
    // The origin and the size of the image.
    for (const std::int32_t wide : {h.x, h.y, h.width, h.height})
        writeWide(wide, tga);
    writeNarrow(h.bpp, tga);
    writeNarrow(h.misc, tga);
}

bool chartPainter_detail::drawHistogram(const int *his, int count_bgr) {
    return writeChart(kHistogramFile, kLargeSide, kLargeFrame, [&](Canvas &canvas) {
        drawGrid(canvas);
        // Bin i owns columns 44 + 16i to 59 + 16i: four blue, four green, four red, four empty.
        struct Channel {
            int selector;
            int firstEntry;
            int firstCol;
            pixel colour;
        };
        constexpr Channel channels[] = {
            {1, 0, 44, kBlue}, {10, 32, 48, kGreen}, {100, 64, 52, kRed}};
        for (const Channel &ch : channels) {
            if (count_bgr != ch.selector && count_bgr != 111) continue;
            for (int i = 0; i < 32; ++i) {
                const int left = ch.firstCol + 16 * i;
                drawBar(canvas, left, left + 3, kLargeFrame.axisRow, his[ch.firstEntry + i],
                        ch.colour);
            }
        }
    });
}

void drawHisImage_main(const int *his, int count_bgr, int /*nbOfPix*/) {
    chartPainter_detail::drawHistogram(his, count_bgr);
}

void afficherHis(const int *hist, int nb) {
    std::puts(kHistoTitle);
    const int count = std::clamp(nb, 0, 256);
    std::int64_t sum = 0;  // runs over all three rows
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < count; ++j) {
            const int entry = hist[256 * i + j];
            std::printf(kHistoEntry, entry);
            sum += entry;
        }
        std::putchar('\n');
        std::printf(kHistoSum, sum);
    }
}

void drawHis_size(const int * /*set*/, const int *num, int nbset, int nbImage) {
    // Class i owns columns 35 + 20i to 49 + 20i; the eleventh is the last that fits.
    constexpr int kFirstCol = 35, kStep = 20, kWidth = 15;
    constexpr int kClassesOnCanvas = (kSmallSide - kFirstCol - kWidth) / kStep + 1;
    writeChart(kSizeFile, kSmallSide, kSmallFrame, [&](Canvas &canvas) {
        if (nbImage <= 0) return;  // no shares to draw and nothing to divide by
        const int classes = std::min(nbset, kClassesOnCanvas);
        for (int i = 0; i < classes; ++i) {
            // 64 bits, so that a large count cannot overflow the product.
            const std::int64_t yy = std::int64_t{num[i]} * 200 / nbImage;
            const int left = kFirstCol + kStep * i;
            for (int col = left; col < left + kWidth; ++col) {
                std::printf(kBarHeight, yy);
                drawBar(canvas, col, col, kSmallFrame.axisRow, yy, kBlack);
            }
        }
    });
}

void drawHis_threeRect(int *cnt) {
    writeChart(kThreeBarFile, kSmallSide, kSmallFrame, [&](Canvas &canvas) {
        // The large frame's grid, as far as it fits: rows 50, 150 and 250.
        drawGrid(canvas);
        const int base = kSmallFrame.axisRow;
        drawBar(canvas, 35, 94, base, cnt[0], kBlue);
        drawBar(canvas, 100, 159, base, cnt[1], kGreen);
        drawBar(canvas, 165, 194, base, cnt[2], kRed);
    });
}
