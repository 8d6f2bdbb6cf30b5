// Programs run by the tests as child processes: fed on their standard input, their outputs
// collected as they come, bounded in time.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fdio/fdio.h"

namespace tgatest {

using namespace std::chrono_literals;
using Ms = std::chrono::milliseconds;

// A process running beside the test, its standard input a pipe the test writes, its outputs
// collected as they come. The destructor kills it if it is still running.
class Child {
  public:
    // Starts argv[0] (a path) with the remaining arguments in `cwd` (empty: the current one).
    explicit Child(const std::vector<std::string> &argv, const std::filesystem::path &cwd = {});
    // Runs `body` in a forked copy of this process; the copy ends with _exit(0) after it.
    explicit Child(const std::function<void()> &body);
    ~Child();
    Child(const Child &) = delete;
    Child &operator=(const Child &) = delete;

    void send(std::string_view bytes);  // queued for its standard input, written as it reads
    void type(std::string_view bytes);  // written to its standard input; waits until taken
    void endInput();                    // closes its standard input once the queue is written
    void signal(int sig);               // sends it `sig` while it runs
    // Waits until the standard output (or error) holds `text` at or after offset `from`;
    // false when the time ran out.
    bool waitOut(std::string_view text, Ms limit = 5000ms, std::size_t from = 0);
    bool waitErr(std::string_view text, Ms limit = 5000ms, std::size_t from = 0);
    // Waits for the end and for its outputs to close: the exit status, or -1 when it was
    // killed or had to be (after `limit`).
    int wait(Ms limit = 10000ms);
    const std::string &out() const { return out_; }
    const std::string &err() const { return err_; }
    bool timedOut() const { return timedOut_; }
    int termSignal() const { return termSignal_; }  // the signal that ended it, 0 if none

  private:
    void start(const std::function<void()> &inChild);
    bool pump(Ms limit);  // moves what is ready; false when both outputs are closed
    bool waitFor(const std::string &stream, std::string_view text, Ms limit, std::size_t from);

    pid_t pid_ = -1;
    fdio::Fd in_, outFd_, errFd_;
    std::string pending_;  // input not yet taken
    bool endInput_ = false;
    bool timedOut_ = false;
    int termSignal_ = 0;
    std::string out_, err_;
};

struct RunResult {
    int exitCode = -1;      // exit status, or -1 when the child did not exit normally
    int termSignal = 0;     // the signal that ended the child, 0 if it exited
    bool timedOut = false;  // killed after the time limit
    std::string out;        // everything written on the standard output
    std::string err;        // everything written on the standard error
};

struct RunOptions {
    std::string input;                         // bytes fed to the standard input, then EOF
    std::filesystem::path cwd;                 // working directory; empty keeps the current one
    std::chrono::milliseconds timeout{20000};  // the child is killed after this
};

// Starts argv[0] (a path) with the remaining arguments, feeds options.input, waits.
RunResult run(const std::vector<std::string> &argv, const RunOptions &options = {});

// The built program `name` next to the test binaries (<build>/bin/name).
std::filesystem::path program(const std::string &name);

// What `fn` prints on the standard error when run in a child process whose working directory
// is `dir` (default: the current one) made a 64 KiB file system of its own (a tmpfs in the
// child's own mount namespace), ended by "!" when fn left anything in it. No value when no such
// namespace can be made here.
std::optional<std::string> printedOnSmallDisk(const std::function<void()> &fn,
                                              const std::filesystem::path &dir = {});

}  // namespace tgatest
