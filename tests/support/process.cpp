#include "tests/support/process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

namespace tgatest {

namespace {

void closeFd(int &fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
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

RunResult run(const std::vector<std::string> &argv, const RunOptions &options) {
    if (argv.empty()) throw std::invalid_argument("run: empty argv");
    // A child that exits before reading all its input must not kill the test with SIGPIPE.
    static const bool pipeIgnored = ::signal(SIGPIPE, SIG_IGN) != SIG_ERR;
    static_cast<void>(pipeIgnored);
    std::array<int, 2> in{-1, -1}, out{-1, -1}, err{-1, -1};
    if (::pipe2(in.data(), O_CLOEXEC) != 0 || ::pipe2(out.data(), O_CLOEXEC) != 0 ||
        ::pipe2(err.data(), O_CLOEXEC) != 0)
        throw std::runtime_error("run: pipe failed");

    std::vector<char *> args;
    for (const auto &a : argv)
        args.push_back(const_cast<char *>(a.c_str()));
    args.push_back(nullptr);

    const pid_t pid = ::fork();
    if (pid < 0) throw std::runtime_error("run: fork failed");
    if (pid == 0) {
        ::dup2(in[0], 0);
        ::dup2(out[1], 1);
        ::dup2(err[1], 2);
        ::signal(SIGPIPE, SIG_DFL);
        if (!options.cwd.empty() && ::chdir(options.cwd.c_str()) != 0) ::_exit(126);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    closeFd(in[0]);
    closeFd(out[1]);
    closeFd(err[1]);
    ::fcntl(in[1], F_SETFL, O_NONBLOCK);

    RunResult result;
    std::size_t written = 0;
    if (options.input.empty()) closeFd(in[1]);
    const auto deadline = std::chrono::steady_clock::now() + options.timeout;
    std::array<char, 65536> buf{};
    while (out[0] >= 0 || err[0] >= 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            result.timedOut = true;
            ::kill(pid, SIGKILL);
            break;
        }
        std::array<pollfd, 3> fds{{{out[0], POLLIN, 0}, {err[0], POLLIN, 0}, {in[1], POLLOUT, 0}}};
        if (::poll(fds.data(), fds.size(), static_cast<int>(left.count())) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[static_cast<std::size_t>(i)].revents == 0) continue;
            int &fd = i == 0 ? out[0] : err[0];
            const ssize_t n = ::read(fd, buf.data(), buf.size());
            if (n > 0)
                (i == 0 ? result.out : result.err).append(buf.data(), static_cast<std::size_t>(n));
            else if (n == 0 || errno != EINTR)
                closeFd(fd);
        }
        if (in[1] >= 0 && fds[2].revents != 0) {
            const ssize_t n =
                ::write(in[1], options.input.data() + written, options.input.size() - written);
            if (n > 0) written += static_cast<std::size_t>(n);
            if ((n < 0 && errno != EAGAIN && errno != EINTR) || written == options.input.size())
                closeFd(in[1]);
        }
    }
    closeFd(in[1]);
    closeFd(out[0]);
    closeFd(err[0]);
    int status = 0;
    for (;;) {
        const pid_t r = ::waitpid(pid, &status, WNOHANG);
        if (r == pid || (r < 0 && errno != EINTR)) break;
        if (r == 0 && std::chrono::steady_clock::now() >= deadline) {
            result.timedOut = true;
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            break;
        }
        if (r == 0) ::usleep(1000);
    }
    if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) result.termSignal = WTERMSIG(status);
    return result;
}

std::string readFile(const std::filesystem::path &path) {
    std::ifstream f(path, std::ios::binary);
    if (!f) throw std::runtime_error("cannot read " + path.string());
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

void writeFile(const std::filesystem::path &path, const std::string &bytes) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!f) throw std::runtime_error("cannot write " + path.string());
}

}  // namespace tgatest
