// A scratch directory that is removed with everything in it when the object goes away, and a
// working directory changed for a scope.
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

// Makes `dir` the working directory until the object goes away (for code that names files
// relative to it).
class InDirectory {
  public:
    explicit InDirectory(const std::filesystem::path &dir)
        : previous_(std::filesystem::current_path()) {
        std::filesystem::current_path(dir);
    }
    ~InDirectory() { std::filesystem::current_path(previous_); }
    InDirectory(const InDirectory &) = delete;
    InDirectory &operator=(const InDirectory &) = delete;

  private:
    std::filesystem::path previous_;
};

}  // namespace tgatest
