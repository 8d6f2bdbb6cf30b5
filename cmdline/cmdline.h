// The options that every program of the toolkit knows as its first argument: --help and
// --version. Header only and internal: nothing here is installed.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "stdstreams/stdstreams.h"

#ifndef TGAKIT_VERSION
#error "TGAKIT_VERSION must give the toolkit's version"
#endif

namespace cmdline {

// What a program says about itself.
struct Program {
    const char *name;         // its own name, installed as tgakit-<name>
    const char *usage;        // its usage line, a format given the name it was invoked by
    const char *description;  // what it does, in whole lines
};

inline constexpr char kVersion[] = "tgakit-%s (tgakit) %s\n";
inline constexpr char kLicence[] = "Copyright (c) 2026 the tgakit authors. MIT License.\n";
inline constexpr char kOptions[] =
    "\n"
    "  --help     show this help and exit\n"
    "  --version  show the version and exit\n";

// When the first argument is --help (the usage line, the description, the options) or --version
// (the version line, then the licence line): prints that on the standard output and returns the
// exit status, 0, or 1 with "<name>: <reason>" on the standard error when it could not be
// written. Nothing is read, written or opened besides. Otherwise prints nothing and returns
// nothing, whatever the arguments are.
inline std::optional<int> standardOption(int argc, char **argv, const Program &program) {
    if (argc < 2) return std::nullopt;
    if (std::strcmp(argv[1], "--help") == 0) {
        // The format is one of the programs' fixed usage texts, with one %s.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
        std::printf(program.usage, argv[0]);
#pragma GCC diagnostic pop
        std::fputs(program.description, stdout);
        std::fputs(kOptions, stdout);
    } else if (std::strcmp(argv[1], "--version") == 0) {
        std::printf(kVersion, program.name, TGAKIT_VERSION);
        std::fputs(kLicence, stdout);
    } else {
        return std::nullopt;
    }
    return stdstreams::finish(program.name, EXIT_SUCCESS);
}

}  // namespace cmdline
