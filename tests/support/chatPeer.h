// Test support for the chat programs: a private network per test, programs running alongside
// the test, and the raw socket ends the tests play.
#pragma once

#include <gtest/gtest.h>

#include <sys/types.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "netio/chatWire.h"

namespace chattest {

using netio::kTalkPort;

// The end-of-talk byte as the tests send and expect it.
inline const std::string kFF(1, static_cast<char>(netio::kEndOfTalk));

using namespace std::chrono_literals;
using Ms = std::chrono::milliseconds;

// Moves this process (and the children it starts later) into a new network namespace with
// only the loopback interface, up. False when the system does not allow it.
bool enterPrivateNetwork();

// Fixture: every chat test runs in a network of its own where it can, so the fixed talk port
// is free and nothing leaves the machine.
class ChatTest : public ::testing::Test {
  protected:
    void SetUp() override { isolated_ = enterPrivateNetwork(); }
    // The service port: fixed in a private network, spread by process id on a shared one.
    std::uint16_t port() const {
        return static_cast<std::uint16_t>(isolated_ ? 5000 : 20000 + ::getpid() % 20000);
    }
    bool isolated_ = false;
};

// An owned file descriptor.
class Sock {
  public:
    explicit Sock(int fd = -1) : fd_(fd) {}
    ~Sock();
    Sock(Sock &&other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    Sock &operator=(Sock &&other) noexcept;
    Sock(const Sock &) = delete;
    Sock &operator=(const Sock &) = delete;
    int get() const { return fd_; }
    void close();

  private:
    int fd_;
};

// A program running beside the test, its standard input a pipe the test writes, its outputs
// collected as they come. The destructor kills it if it is still running.
class Child {
  public:
    Child(const std::vector<std::string> &argv, const std::filesystem::path &cwd);
    ~Child();
    Child(const Child &) = delete;
    Child &operator=(const Child &) = delete;

    void type(std::string_view bytes);  // written to its standard input
    void endInput();                    // closes its standard input
    // Waits until the standard output (or error) holds `text` at or after offset `from`;
    // false when the time ran out.
    bool waitOut(std::string_view text, Ms limit = 5000ms, std::size_t from = 0);
    bool waitErr(std::string_view text, Ms limit = 5000ms, std::size_t from = 0);
    // Waits for the end: the exit status, or -1 when it was killed or had to be.
    int wait(Ms limit = 10000ms);
    const std::string &out() const { return out_; }
    const std::string &err() const { return err_; }

  private:
    bool pump(Ms limit);  // reads what is there; false when both outputs are closed
    bool waitFor(const std::string &stream, std::string_view text, Ms limit, std::size_t from);

    pid_t pid_ = -1;
    int in_ = -1, outFd_ = -1, errFd_ = -1;
    std::string out_, err_;
};

// Connects to 127.0.0.1:port, retrying while nobody listens yet.
Sock connectTo(std::uint16_t port, Ms limit = 5000ms);
// Connects to 127.0.0.1:port from the local address `source` (dotted text).
Sock connectFrom(const char *source, std::uint16_t port);
// One connection attempt; the errno of the failure, 0 when it connected.
int tryConnect(std::uint16_t port);
// Waits until a socket of this network listens on `port`; false when the time ran out.
bool waitListening(std::uint16_t port, Ms limit = 5000ms);
// A socket listening on 127.0.0.1:port.
Sock listenOn(std::uint16_t port);
// Accepts one connection; an invalid Sock when none came in time.
Sock acceptFrom(const Sock &listener, Ms limit = 5000ms);

void sendBytes(const Sock &s, std::string_view bytes);
// Up to n bytes: fewer when the peer closed or the time ran out.
std::string recvBytes(const Sock &s, std::size_t n, Ms limit = 5000ms);
// True when the peer closes (end of stream) within the limit, with no further byte.
bool closedByPeer(const Sock &s, Ms limit = 5000ms);

// A pattern image: every byte differs from its neighbours, so slips and gaps show.
std::string pattern(std::size_t n);

// The 4 bytes of a count in host order, as the chat programs put it on the wire.
std::string count32(std::int32_t value);

}  // namespace chattest
