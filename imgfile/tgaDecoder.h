// Internal to the toolkit (not installed): reading a TGA file with what the public readImage
// does not tell, for the toolkit's own programs.
#pragma once

#include <cstddef>

#include "imgfile/imgfile.h"

namespace imgfile_detail {

// readImage, which it is in every result, errno and effect; on success `missing` is how many
// of the image's pixels the file did not supply in full (they read as 0, a pixel cut short
// keeping the bytes it has), 0 for a whole file.
int readImageFile(image_desc *pDesc, targa_header *pHead, const char *fName, std::size_t &missing);

}  // namespace imgfile_detail
