// Runs a program as a child process with given standard input and captures its outputs.
#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace tgatest {

struct RunResult {
    int exitCode = -1;      // exit status, or -1 when the child did not exit normally
    int termSignal = 0;     // the signal that ended the child, 0 if it exited
    bool timedOut = false;  // killed after the time limit
    std::string out;        // everything written on the standard output
    std::string err;        // everything written on the standard error
};

struct RunOptions {
    std::string input;                         // bytes fed to the standard input, then EOF
    std::filesystem::path cwd;                 // working directory; empty keeps the current one
    std::chrono::milliseconds timeout{20000};  // the child is killed after this
};

// Starts argv[0] (a path) with the remaining arguments, feeds options.input, waits.
RunResult run(const std::vector<std::string> &argv, const RunOptions &options = {});

// The built program `name` next to the test binaries (<build>/bin/name).
std::filesystem::path program(const std::string &name);

// Whole-file helpers for checking outputs.
std::string readFile(const std::filesystem::path &path);
void writeFile(const std::filesystem::path &path, const std::string &bytes);

}  // namespace tgatest
