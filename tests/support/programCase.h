// One row of a table of program runs: the arguments, the shell redirections of its standard
// streams, and the status and outputs it must end with. Tables of several programs share it.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/process.h"

namespace tgatest {

struct ProgramCase {
    std::string name;               // the row's name in the report
    std::vector<std::string> args;  // after the program
    std::string redirect;           // e.g. ">&-" or ">/dev/full"; empty: none
    int status = 0;
    std::string out, err;    // "@" stands for the program as invoked
    std::string input = {};  // fed to its standard input
};

// `text` with each "@" replaced by `path`.
inline std::string expand(std::string text, const std::string &path) {
    for (auto at = text.find('@'); at != std::string::npos; at = text.find('@', at + path.size()))
        text.replace(at, 1, path);
    return text;
}

// Runs the built program `program` as `row` says, in `cwd`, through /bin/sh when the row
// redirects a stream ($0 the program, "$@" its arguments).
inline RunResult runCase(const std::string &program, const ProgramCase &row,
                         const std::filesystem::path &cwd = {}) {
    const std::string path = tgatest::program(program).string();
    std::vector<std::string> argv{path};
    if (!row.redirect.empty()) argv = {"/bin/sh", "-c", "exec \"$0\" \"$@\" " + row.redirect, path};
    argv.insert(argv.end(), row.args.begin(), row.args.end());
    RunOptions options;
    options.input = row.input;
    options.cwd = cwd;
    options.timeout = std::chrono::seconds(10);
    return run(argv, options);
}

// The program that a table's rows run: the name its suite was instantiated under, as in
// INSTANTIATE_TEST_SUITE_P(histoDemo, StandardStreams, ...).
inline std::string tableProgram() {
    const std::string suite = testing::UnitTest::GetInstance()->current_test_suite()->name();
    return suite.substr(0, suite.find('/'));
}

// Runs the table's program as `row` says, in `cwd`, and checks its status and outputs.
inline RunResult expectCase(const ProgramCase &row, const std::filesystem::path &cwd = {}) {
    const std::string program = tableProgram(), path = tgatest::program(program).string();
    RunResult r = runCase(program, row, cwd);
    EXPECT_EQ(r.exitCode, row.status);
    EXPECT_EQ(r.out, expand(row.out, path));
    EXPECT_EQ(r.err, expand(row.err, path));
    return r;
}

// The row's name, for INSTANTIATE_TEST_SUITE_P.
inline std::string rowName(const testing::TestParamInfo<ProgramCase> &info) {
    return info.param.name;
}

}  // namespace tgatest
