// Internal to the toolkit (not installed): the directory walk behind readBankImage, which
// tells how it went instead of ending the program, for programs that read every image in
// full while they build the bank, and list release.
#pragma once

#include <dirent.h>

#include <cstdio>
#include <memory>

#include "bankList/bankList.h"

namespace bankList_detail {

// Releases every node of a list with its two strings.
void freeBank(NodeImage *head);

struct BankFree {
    void operator()(NodeImage *head) const { freeBank(head); }
};
// A list owned for the length of a scope.
using Bank = std::unique_ptr<NodeImage, BankFree>;

// Where a walk stopped.
enum class Failure {
    none,           // every entry has its node
    openDirectory,  // the directory could not be opened
    readDirectory,  // reading the directory failed
    readEntry,      // an entry could not be opened or read, or its node could not be made
};

// How a walk went: the failure, the entry it met (empty when it concerns the directory or the
// walk's own buffer) and the reason as an errno value (0 when none).
struct WalkStatus {
    Failure failure = Failure::none;
    char entry[sizeof(dirent::d_name)] = {};
    int error = 0;
};

struct Walk {
    Bank bank;  // the nodes made before the failure, in order; all of them without one
    WalkStatus status;
};

// The list of readBankImage, with every node made by the whole-image form of createNodeImage
// when `wholeImages` is true (one pixel buffer serves the whole walk). Prints nothing and ends
// nothing: a failure stops the walk and is told in the status.
Walk walkBank(const char *path, bool wholeImages);

// Prints a failure as readBankImage does: "opendir failed!" on `out` without a line end, or
// "readdir failed!" / "read image failed!", ": " and the reason on `err`. Nothing for none.
void reportFailure(const WalkStatus &status, std::FILE *out, std::FILE *err);

}  // namespace bankList_detail
