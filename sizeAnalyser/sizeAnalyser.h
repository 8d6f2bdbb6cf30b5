// The size-class analysis: sorts the images of a directory into classes of their size figure.
#pragma once

#include <cstdint>

#include "bankList/bankList.h"

// Builds the image bank of `path` (reading every file in full, in bounded memory whatever the
// headers claim), prints each image's size figure and the extremes, reads thresholds from
// the standard input up to -1 (or up to the end of the input, or anything that is not an
// integer) and prints how many images fall into each class that the sorted thresholds bound. At
// most 999 thresholds are kept; later ones are ignored. An image or a directory that cannot be read
// ends the program with status 1: an image at once, a directory that cannot be opened once the
// report of an empty directory is printed, with "<path>: <reason>" on the standard error. A
// standard input that is set not to wait is waited on; one that fails ends the list, and the
// program with status 1 once the report is printed.
void diviserRepertoire(const char *path);

// The class of `node`: the first index i < n whose threshold is greater than the node's size,
// or n when there is none. A size equal to a threshold belongs to the class above it.
int32_t find(const NodeImage *node, const int32_t *table, int32_t n);

// Exchanges *a and *b.
void swap(int32_t *a, int32_t *b);
