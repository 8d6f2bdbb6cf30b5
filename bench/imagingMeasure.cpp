// Runs a command `repeats` times with its output thrown away; prints the best wall time in
// seconds and the greatest peak resident memory in KiB of the runs.
// Usage: imagingMeasure <repeats> [--stdin <file>] -- <command> [args...]
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

int main(int argc, char **argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s <repeats> [--stdin <file>] -- <command> [args...]\n",
                     argv[0]);
        return EXIT_FAILURE;
    }
    const long repeats = std::strtol(argv[1], nullptr, 10);
    int arg = 2;
    const char *input = "/dev/null";
    if (std::strcmp(argv[arg], "--stdin") == 0) {
        input = argv[arg + 1];
        arg += 2;
    }
    if (arg >= argc || std::strcmp(argv[arg], "--") != 0) return EXIT_FAILURE;
    std::vector<char *> command(argv + arg + 1, argv + argc);
    command.push_back(nullptr);

    double best = 1e30;
    long peakKib = 0;
    for (long r = 0; r < repeats; ++r) {
        const auto start = std::chrono::steady_clock::now();
        const pid_t pid = fork();
        if (pid == 0) {
            const int in = open(input, O_RDONLY);
            const int out = open("/dev/null", O_WRONLY);
            if (in < 0 || out < 0) _exit(126);
            dup2(in, 0);
            dup2(out, 1);
            execvp(command[0], command.data());
            _exit(127);
        }
        int status = 0;
        rusage usage{};
        if (pid < 0 || wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) ||
            WEXITSTATUS(status) != 0) {
            std::fprintf(stderr, "imagingMeasure: %s failed\n", command[0]);
            return EXIT_FAILURE;
        }
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        if (took.count() < best) best = took.count();
        if (usage.ru_maxrss > peakKib) peakKib = usage.ru_maxrss;
    }
    std::printf("%.6f %ld\n", best, peakKib);
    return EXIT_SUCCESS;
}
