// Texts that the image file store prints.
#pragma once

namespace imgfile_msg {
inline constexpr char kCannotCreate[] = "Cannot create the file \"%s\".\n";
inline constexpr char kCannotWrite[] = "Cannot write the file \"%s\".\n";
inline constexpr char kHeaderLine[] = "[read mem_targa] Header : %u %u %u %u %u \n";
}  // namespace imgfile_msg
