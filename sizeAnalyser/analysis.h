// Internal to sizeAnalyser (not installed): the analysis, and the directory it analyses, the one
// named on its command line or its default one.
#pragma once

#include <cstdio>
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

// diviserRepertoire that tells how it went instead of ending the program, its thresholds read
// from `input`: EXIT_SUCCESS, or EXIT_FAILURE when the directory could not be opened or the
// input failed. Either failure still prints the whole report ("opendir failed!" and the report
// of an empty directory; the classes of the thresholds read so far), then its reason on the
// standard error: "<path>: <reason>", "sizeAnalyser: standard input: <reason>". An entry or a
// directory that fails while it is read gives EXIT_FAILURE with only "read image failed!" or
// "readdir failed!" and the reason on the standard error.
int analyse(const char *path, std::FILE *input = stdin);

}  // namespace sizeAnalyser_detail
