// A scratch directory that is removed with everything in it when the object goes away.
#pragma once

#include <filesystem>

namespace tgatest {

class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;

    const std::filesystem::path &path() const { return path_; }
    std::filesystem::path operator/(const std::filesystem::path &rel) const { return path_ / rel; }

  private:
    std::filesystem::path path_;
};

}  // namespace tgatest
