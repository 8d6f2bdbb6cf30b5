// One 600 by 600 histogram chart drawn and written, beside the file writes it is held to.
// Runs in the working directory, where the files land.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <vector>

#include "chartPainter/chartPainter.h"

namespace {

constexpr std::size_t kChartBytes = 1080018;  // 18 header bytes + 600 * 600 pixels * 3

// The baseline: the chart's bytes in a single fwrite, with the same open and close.
void OneFwrite(benchmark::State &state) {
    const std::vector<unsigned char> bytes(kChartBytes, 0xFF);
    for (auto _ : state) {
        std::FILE *f = std::fopen("baseline.tga", "wb");
        if (f == nullptr) return state.SkipWithError("cannot create baseline.tga");
        benchmark::DoNotOptimize(std::fwrite(bytes.data(), 1, bytes.size(), f));
        std::fclose(f);
    }
}

// For comparison: the same bytes as one character call each.
void FputcPerByte(benchmark::State &state) {
    for (auto _ : state) {
        std::FILE *f = std::fopen("bytes.tga", "wb");
        if (f == nullptr) return state.SkipWithError("cannot create bytes.tga");
        for (std::size_t i = 0; i < kChartBytes; ++i)
            std::fputc(0xFF, f);
        std::fclose(f);
    }
}

// histoDemo's chart: all three channels of a staircase, written to test.tga.
void HistogramChart(benchmark::State &state) {
    std::vector<int> his(96);
    for (std::size_t i = 0; i < his.size(); ++i)
        his[i] = static_cast<int>(i);
    for (auto _ : state)
        drawHisImage_main(his.data(), 111, 1000);
}

}  // namespace

BENCHMARK(OneFwrite)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(FputcPerByte)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(HistogramChart)->Unit(benchmark::kMicrosecond)->UseRealTime();

BENCHMARK_MAIN();
