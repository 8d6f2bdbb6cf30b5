// Internal to the toolkit (not installed): the directory walk behind readBankImage, for
// programs that read every image in full while they build the bank, and list release.
#pragma once

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

// readBankImage, with every node made by the whole-image form of createNodeImage when
// `wholeImages` is true (one pixel buffer serves the whole walk).
NodeImage *readBank(const char *path, bool wholeImages);

}  // namespace bankList_detail
