#include "tests/support/process.h"

#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <stdexcept>
#include <thread>

namespace tgatest {

namespace {

using Clock = std::chrono::steady_clock;

Ms left(Clock::time_point deadline) {
    const auto ms = std::chrono::duration_cast<Ms>(deadline - Clock::now());
    return ms.count() < 0 ? Ms{0} : ms;
}

std::filesystem::path selfDir() {
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::current_path() : exe.parent_path();
}

}  // namespace

std::filesystem::path program(const std::string &name) {
    return selfDir() / name;
}

Child::Child(const std::vector<std::string> &argv, const std::filesystem::path &cwd) {
    if (argv.empty()) throw std::invalid_argument("Child: empty argv");
    std::vector<char *> args;
    for (const auto &a : argv)
        args.push_back(const_cast<char *>(a.c_str()));
    args.push_back(nullptr);
    start([&] {
        if (!cwd.empty() && ::chdir(cwd.c_str()) != 0) ::_exit(126);
        ::execv(args[0], args.data());
        ::_exit(127);
    });
}

Child::Child(const std::function<void()> &body) {
    start([&] {
        body();
        std::fflush(nullptr);
        ::_exit(0);
    });
}

void Child::start(const std::function<void()> &inChild) {
    // A child that exits before reading all its input must not kill the test with SIGPIPE.
    static const bool pipeIgnored = ::signal(SIGPIPE, SIG_IGN) != SIG_ERR;
    static_cast<void>(pipeIgnored);
    std::array<int, 2> in{}, out{}, err{};
    if (::pipe2(in.data(), O_CLOEXEC) != 0) throw std::runtime_error("Child: pipe failed");
    fdio::Fd inRead{in[0]}, inWrite{in[1]};
    if (::pipe2(out.data(), O_CLOEXEC) != 0) throw std::runtime_error("Child: pipe failed");
    fdio::Fd outRead{out[0]}, outWrite{out[1]};
    if (::pipe2(err.data(), O_CLOEXEC) != 0) throw std::runtime_error("Child: pipe failed");
    fdio::Fd errRead{err[0]}, errWrite{err[1]};
    std::fflush(nullptr);  // nothing buffered is written twice
    pid_ = ::fork();
    if (pid_ < 0) throw std::runtime_error("Child: fork failed");
    if (pid_ == 0) {
        ::dup2(inRead.get(), 0);
        ::dup2(outWrite.get(), 1);
        ::dup2(errWrite.get(), 2);
        ::signal(SIGPIPE, SIG_DFL);
        inChild();
        ::_exit(127);
    }
    ::fcntl(inWrite.get(), F_SETFL, O_NONBLOCK);
    in_ = std::move(inWrite);
    outFd_ = std::move(outRead);
    errFd_ = std::move(errRead);
}

Child::~Child() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
}

void Child::send(std::string_view bytes) {
    pending_.append(bytes);
}

void Child::type(std::string_view bytes) {
    send(bytes);
    const auto deadline = Clock::now() + Ms{10000};
    while (!pending_.empty() && in_ && Clock::now() < deadline)
        pump(left(deadline));
    if (!pending_.empty()) throw std::runtime_error("Child: cannot write its input");
}

void Child::endInput() {
    endInput_ = true;
    if (pending_.empty()) in_.reset();
}

bool Child::pump(Ms limit) {
    if (!outFd_ && !errFd_) return false;
    const short wantIn = in_ && !pending_.empty() ? POLLOUT : 0;
    std::array<pollfd, 3> fds{
        {{outFd_.get(), POLLIN, 0}, {errFd_.get(), POLLIN, 0}, {in_.get(), wantIn, 0}}};
    if (::poll(fds.data(), fds.size(), static_cast<int>(limit.count())) <= 0) return true;
    std::array<char, 65536> buf{};
    for (std::size_t i = 0; i < 2; ++i) {
        if (fds[i].revents == 0) continue;
        fdio::Fd &fd = i == 0 ? outFd_ : errFd_;
        const ssize_t n = ::read(fd.get(), buf.data(), buf.size());
        if (n > 0)
            (i == 0 ? out_ : err_).append(buf.data(), static_cast<std::size_t>(n));
        else if (n == 0 || errno != EINTR)
            fd.reset();
    }
    if (fds[2].revents != 0) {
        const ssize_t n = ::write(in_.get(), pending_.data(), pending_.size());
        if (n > 0) pending_.erase(0, static_cast<std::size_t>(n));
        if (n < 0 && errno != EAGAIN && errno != EINTR) in_.reset();
        if (pending_.empty() && endInput_) in_.reset();
    }
    return true;
}

bool Child::waitFor(const std::string &stream, std::string_view text, Ms limit, std::size_t from) {
    const auto deadline = Clock::now() + limit;
    while (stream.find(text, from) == std::string::npos) {
        if (Clock::now() >= deadline || !pump(left(deadline))) break;
    }
    return stream.find(text, from) != std::string::npos;
}

bool Child::waitOut(std::string_view text, Ms limit, std::size_t from) {
    return waitFor(out_, text, limit, from);
}
bool Child::waitErr(std::string_view text, Ms limit, std::size_t from) {
    return waitFor(err_, text, limit, from);
}

void Child::signal(int sig) {
    if (pid_ > 0) ::kill(pid_, sig);
}

int Child::wait(Ms limit) {
    const auto deadline = Clock::now() + limit;
    int status = 0;
    while (pid_ > 0) {
        const pid_t r = ::waitpid(pid_, &status, WNOHANG);
        if (r == pid_ || (r < 0 && errno != EINTR)) break;
        if (Clock::now() >= deadline) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, &status, 0);
            timedOut_ = true;
            break;
        }
        if (!pump(Ms{10})) std::this_thread::sleep_for(Ms{1});
    }
    pid_ = -1;
    in_.reset();
    // What it wrote last; a descendant that keeps the outputs open gets until the deadline.
    while ((outFd_ || errFd_) && !timedOut_) {
        if (Clock::now() >= deadline) timedOut_ = true;
        pump(std::min(left(deadline), Ms{200}));
    }
    if (WIFSIGNALED(status)) termSignal_ = WTERMSIG(status);
    if (timedOut_ || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

RunResult run(const std::vector<std::string> &argv, const RunOptions &options) {
    Child child(argv, options.cwd);
    child.send(options.input);
    child.endInput();
    RunResult result;
    result.exitCode = child.wait(options.timeout);
    result.termSignal = child.termSignal();
    result.timedOut = child.timedOut();
    result.out = child.out();
    result.err = child.err();
    return result;
}

std::optional<std::string> printedOnSmallDisk(const std::function<void()> &fn,
                                              const std::filesystem::path &dir) {
    const std::string here = (dir.empty() ? std::filesystem::current_path() : dir).string();
    Child child([&] {
        const bool mounted = ::unshare(CLONE_NEWNS) == 0 &&
                             ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
                             ::mount("tgakit", here.c_str(), "tmpfs", 0, "size=64k") == 0 &&
                             ::chdir(here.c_str()) == 0;
        if (!mounted) ::_exit(2);
        fn();
        if (std::filesystem::directory_iterator(".") != std::filesystem::directory_iterator())
            std::fputs("!", stderr);
    });
    if (child.wait() != 0) return std::nullopt;
    return child.err();
}

}  // namespace tgatest
