// Texts that the image bank prints.
#pragma once

namespace bankList_msg {
inline constexpr char kOpendirFailed[] = "opendir failed!";
inline constexpr char kReadFailed[] = "read image failed!";
inline constexpr char kReaddirFailed[] = "readdir failed!";
inline constexpr char kFilename[] = "filename is %s\n";
}  // namespace bankList_msg
