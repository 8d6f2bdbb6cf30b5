// Internal to the toolkit (not installed): the directory walk behind readBankImage, for
// programs that read every image in full while they build the bank.
#pragma once

#include "bankList/bankList.h"

namespace bankList_detail {

// readBankImage, with every node made by the whole-image form of createNodeImage when
// `wholeImages` is true (each image's planes are released before the next is read).
NodeImage *readBank(const char *path, bool wholeImages);

}  // namespace bankList_detail
