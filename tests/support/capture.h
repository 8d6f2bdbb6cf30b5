// What a function prints on the standard output and error while it runs: both descriptors are
// sent to unnamed temporary files for the call, then put back.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <stdexcept>
#include <string>

namespace tgatest {

struct Printed {
    std::string out, err;
};

// Descriptor `fd` sent to a temporary file until taken back with text().
class Redirect {
  public:
    explicit Redirect(int fd) : fd_(fd), file_(std::tmpfile()), saved_(::dup(fd)) {
        if (file_ == nullptr || saved_ < 0 || ::dup2(::fileno(file_), fd_) < 0)
            throw std::runtime_error("cannot redirect a standard stream");
    }
    ~Redirect() {
        restore();
        if (file_ != nullptr) std::fclose(file_);
    }
    Redirect(const Redirect &) = delete;
    Redirect &operator=(const Redirect &) = delete;

    // Everything written to the descriptor since the redirection; ends it.
    std::string text() {
        restore();
        std::string bytes;
        std::rewind(file_);
        char buf[4096];
        for (std::size_t got; (got = std::fread(buf, 1, sizeof buf, file_)) > 0;)
            bytes.append(buf, got);
        return bytes;
    }

  private:
    void restore() {
        if (saved_ >= 0) {
            ::dup2(saved_, fd_);
            ::close(saved_);
            saved_ = -1;
        }
    }

    int fd_;
    std::FILE *file_;
    int saved_;
};

// Both outputs of fn().
template <class Fn>
Printed captured(Fn &&fn) {
    std::fflush(nullptr);
    Redirect err{STDERR_FILENO};
    Redirect out{STDOUT_FILENO};
    fn();
    std::fflush(nullptr);
    Printed p;
    p.out = out.text();
    p.err = err.text();
    return p;
}

// What fn() prints on the standard output.
template <class Fn>
std::string printed(Fn &&fn) {
    return captured(fn).out;
}

// What fn() prints on the standard error.
template <class Fn>
std::string printedErr(Fn &&fn) {
    return captured(fn).err;
}

}  // namespace tgatest
