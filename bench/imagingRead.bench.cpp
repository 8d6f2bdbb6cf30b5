// readImage of one image against one plain fread of the same file, and a header-only scan of
// a directory with readBankImage against a bare open/read/close loop.
// Usage: imagingRead [benchmark flags] <image.tga> <directory>
#include <benchmark/benchmark.h>

#include <dirent.h>
#include <fcntl.h>
#include <malloc.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "bankList/bankList.h"
#include "bankList/bankWalk.h"
#include "imgfile/imgfile.h"

namespace {

void freadWhole(benchmark::State &state, const char *file) {
    for (auto _ : state) {
        std::FILE *f = std::fopen(file, "rb");
        std::fseek(f, 0, SEEK_END);
        const auto size = static_cast<std::size_t>(std::ftell(f));
        std::rewind(f);
        void *buffer = std::malloc(size);
        benchmark::DoNotOptimize(std::fread(buffer, 1, size, f));
        benchmark::DoNotOptimize(buffer);
        std::free(buffer);
        std::fclose(f);
    }
}

void readWhole(benchmark::State &state, const char *file) {
    for (auto _ : state) {
        image_desc d{};
        targa_header head{};
        if (readImage(&d, &head, file) != 1) state.SkipWithError("readImage failed");
        benchmark::DoNotOptimize(d.pRed);
        freeImage(&d);
    }
}

void scanBank(benchmark::State &state, const char *dir) {
    for (auto _ : state) {
        NodeImage *list = readBankImage(dir);
        benchmark::DoNotOptimize(list);
        // Releasing the list is the caller's business, not part of the scan; so is the merging
        // of its freed blocks that glibc defers to the next large request (opendir's buffer).
        state.PauseTiming();
        bankList_detail::freeBank(list);
        std::free(std::malloc(64 * 1024));
        state.ResumeTiming();
    }
}

// The least any header scan does: open, read 18 bytes, close, nothing kept.
void bareScan(benchmark::State &state, const char *dir) {
    for (auto _ : state) {
        DIR *d = opendir(dir);
        unsigned sum = 0;
        while (const dirent *e = readdir(d)) {
            if (e->d_name[0] == '.') continue;
            const int fd = open((std::string(dir) + "/" + e->d_name).c_str(), O_RDONLY);
            unsigned char head[18] = {};
            benchmark::DoNotOptimize(read(fd, head, sizeof head));
            close(fd);
            sum += head[12];
        }
        closedir(d);
        benchmark::DoNotOptimize(sum);
    }
}

}  // namespace

int main(int argc, char **argv) {
    benchmark::Initialize(&argc, argv);
    // Keep released planes for the next read, so that both figures measure reading rather than
    // the kernel faulting in fresh pages (whether glibc hands freed memory back depends on what
    // was freed before). TGAKIT_BENCH_DEFAULT_ALLOCATOR keeps glibc's own.
    if (std::getenv("TGAKIT_BENCH_DEFAULT_ALLOCATOR") == nullptr) {
        mallopt(M_MMAP_THRESHOLD, 32 << 20);
        mallopt(M_TRIM_THRESHOLD, 64 << 20);
    }
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s [benchmark flags] <image.tga> <directory>\n", argv[0]);
        return EXIT_FAILURE;
    }
    benchmark::RegisterBenchmark("fread_whole", freadWhole, argv[1])->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("readImage", readWhole, argv[1])->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("readBankImage", scanBank, argv[2])->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("bare_scan", bareScan, argv[2])->Unit(benchmark::kMillisecond);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return EXIT_SUCCESS;
}
