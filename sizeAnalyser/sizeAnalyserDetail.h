// Internal to sizeAnalyser (not installed): the directory it analyses, the one named on its
// command line or its default one.
#pragma once

#include <string>

namespace sizeAnalyser_detail {

// The default directory: `fixed` when it is not empty (an absolute path fixed at build time),
// else `fromBin` taken relative to the directory of the program that the link `exe`
// (/proc/self/exe) names, so that one program works in the build tree and in any install
// prefix. When the link cannot be read, a path that names what was looked for and cannot be
// opened.
std::string defaultDirectory(const char *fixed, const char *exe, const char *fromBin);

// The directory to analyse: argv[1] when it is the only argument, the default directory when
// there is none. Any other argument shape (more than one argument, an empty one, or one that
// starts with '-') prints the usage line on the standard error and returns null.
const char *analysedDirectory(int argc, char **argv);

}  // namespace sizeAnalyser_detail
