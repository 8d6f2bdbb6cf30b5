// Internal to sizeAnalyser (not installed): the directory it analyses, the one named on its
// command line or the one compiled into the program.
#pragma once

#include <cstddef>

namespace sizeAnalyser_detail {
// The compiled-in directory is held in a slot of kSlotSize bytes that starts with kMarker, so
// that installing the program can write the installed images directory into the installed
// copy (sizeAnalyser_setdir), while the build-tree program keeps its build-tree samples.
inline constexpr char kMarker[] = "tgakit-sizeAnalyser-images-dir:";
inline constexpr std::size_t kSlotSize = 4096;

// The directory to analyse: argv[1] when it is the only argument, the compiled-in directory
// when there is none. Any other argument shape (more than one argument, an empty one, or one
// that starts with '-') prints the usage line on the standard error and returns null.
const char *analysedDirectory(int argc, char **argv);

// diviserRepertoire that tells how it went instead of ending the program: EXIT_SUCCESS, or
// EXIT_FAILURE when the directory could not be opened or the standard input failed. Either
// failure still prints the whole report ("opendir failed!" and the report of an empty
// directory; the classes of the thresholds read so far), then its reason on the standard
// error: "<path>: <reason>", "sizeAnalyser: standard input: <reason>". An image that cannot
// be read still ends the program.
int analyse(const char *path);

}  // namespace sizeAnalyser_detail
