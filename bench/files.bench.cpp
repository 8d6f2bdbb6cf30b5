// The chat client's keep path: a received image of 786,450 bytes (a 512 by 512 TGA) written
// to a new file and renamed over its name, without and with the syncs that make it durable,
// beside one plain write of the same bytes. Runs in the working directory, where files land.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <vector>

#include "fileio/fileio.h"

namespace {

constexpr std::size_t kImageBytes = 786450;

// The baseline: the bytes in a single fwrite to a fixed name, opened and closed.
void PlainWrite(benchmark::State &state) {
    const std::vector<char> bytes(kImageBytes, 'x');
    for (auto _ : state) {
        std::FILE *f = std::fopen("plain.tga", "wb");
        if (f == nullptr) return state.SkipWithError("cannot create plain.tga");
        benchmark::DoNotOptimize(std::fwrite(bytes.data(), 1, bytes.size(), f));
        std::fclose(f);
    }
}

void Keep(benchmark::State &state, fileio::Sync sync) {
    const std::vector<char> bytes(kImageBytes, 'x');
    for (auto _ : state) {
        fileio::NewFile file(".kept.tga.XXXXXX");
        if (file.stream() == nullptr) return state.SkipWithError("cannot create a new file");
        std::fwrite(bytes.data(), 1, bytes.size(), file.stream());
        if (file.keepAs("kept.tga", 0, sync) != 0) return state.SkipWithError("cannot keep it");
    }
}

void KeepWithoutSync(benchmark::State &state) {
    Keep(state, fileio::Sync::no);
}
void KeepWithSync(benchmark::State &state) {
    Keep(state, fileio::Sync::yes);
}

}  // namespace

BENCHMARK(PlainWrite)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(KeepWithoutSync)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(KeepWithSync)->Unit(benchmark::kMicrosecond)->UseRealTime();

BENCHMARK_MAIN();
