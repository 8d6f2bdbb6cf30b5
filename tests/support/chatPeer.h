// Test support for the chat programs: the ends of socket pairs and pipes over which the tests
// drive the conversations in-process (or across a link they cut), and for the few process
// tests a private network per test and the raw socket ends they play.
#pragma once

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <future>
#include <memory>
#include <string>
#include <string_view>

#include "chatWire/chatWire.h"
#include "chatWire/linkWatch.h"
#include "fdio/fdio.h"
#include "tests/support/process.h"
#include "tests/support/tempdir.h"
#include "tests/support/vethLink.h"

namespace tgatest {

using chatWire::kTalkPort;

// The end-of-talk byte as the tests send and expect it.
inline const std::string kFF(1, static_cast<char>(chatWire::kEndOfTalk));

using fdio::Fd;

// A local stream socket pair: `near` for the code under test, `far` for the test playing the
// peer.
struct SocketPair {
    Fd near, far;
};
SocketPair socketPair();

// A pipe: the code under test reads `near`, the test types into `far`.
struct Pipe {
    Fd near, far;
};
Pipe consolePipe();

// A stream for the code under test to print on, read by the test through a pipe as it comes.
// Up to a pipe's worth (64 KiB) may wait unread; more would hold the printing thread.
// A Terminal printout is a pseudo-terminal instead, in raw mode, so bytes pass unchanged (no
// "\r\n" for "\n") while the code under test sees a terminal.
class Printout {
  public:
    enum class Kind { Pipe, Terminal };
    explicit Printout(Kind kind = Kind::Pipe);
    ~Printout();
    Printout(const Printout &) = delete;
    Printout &operator=(const Printout &) = delete;

    std::FILE *get() const { return file_; }
    // Waits until what was printed holds `text` at or after offset `from`; false when the time
    // ran out.
    bool waitFor(std::string_view text, Ms limit = 5000ms, std::size_t from = 0);
    // Everything printed so far.
    const std::string &text();

  private:
    bool pump(Ms limit);  // takes in what has come; false when nothing came in time

    Fd read_;
    std::FILE *file_ = nullptr;
    std::string got_;
};

// Makes `dir` the working directory for its lifetime, for code that uses fixed relative paths.
class InDirectory {
  public:
    explicit InDirectory(const std::filesystem::path &dir);
    ~InDirectory();
    InDirectory(const InDirectory &) = delete;
    InDirectory &operator=(const InDirectory &) = delete;

  private:
    std::filesystem::path home_;
};

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

// Fixture: one program's conversation function on its own thread over socket pairs and a
// console pipe, in a scratch directory entered for the test; the test plays the peer on the far
// ends and types on the console. `Chat` is the program's record of descriptors and streams.
template <class Chat, int (*Converse)(const Chat &)>
class ConversationTest : public ::testing::Test {
  protected:
    // Starts the conversation over the near ends.
    void run() {
        run_ = std::async(std::launch::async, [this] {
            return Converse(Chat{service_.near.get(), talk_.near.get(), console_.near.get(),
                                 out_.get(), err_.get(), times_});
        });
    }
    void type(const std::string &bytes) {
        ASSERT_TRUE(fdio::writeAll(console_.far.get(), bytes.data(), bytes.size()));
    }
    void join() {
        if (run_.valid()) run_.wait();
    }
    // Puts the service and talk connections across a link the test can cut (ports 7001 and
    // 7002, the far ends beyond the link) in a private network, with short times: keepalive
    // after 1 s idle, 2 probes 1 s apart, 3 s for unacknowledged data. Call before run(). The
    // reason when that cannot be done here, for the test to skip with; empty once done.
    std::string overCutLink() {
        if (!enterPrivateNetwork()) return "no private network namespace for the test's veth pair";
        std::string why;
        link_ = VethLink::make(why);
        if (!link_) return why;
        const auto across = [this](std::uint16_t port) {
            VethLink::Connection made = link_->connect(port);
            return SocketPair{std::move(made.near), std::move(made.far)};
        };
        service_ = across(7001);
        talk_ = across(7002);
        times_ = {1s, 1s, 2, 3000ms};
        return {};
    }
    // A test that stopped early lets the conversation end too, over a cut link as well.
    void TearDown() override {
        for (const SocketPair *pair : {&talk_, &service_}) {
            ::shutdown(pair->far.get(), SHUT_RDWR);
            ::shutdown(pair->near.get(), SHUT_RDWR);
        }
        console_.far.reset();
        join();
    }

    TempDir dir_;
    InDirectory here_{dir_.path()};
    std::unique_ptr<VethLink> link_;  // set by overCutLink(), outlives the connections across it
    SocketPair service_ = socketPair(), talk_ = socketPair();
    Pipe console_ = consolePipe();
    Printout out_, err_;
    chatWire::LinkTimes times_{};
    std::future<int> run_;
};

// What a conversation showed on a terminal, its peer's bytes escaped, and on a pipe, the bytes
// as they came.
inline void expectShown(Printout &terminal, const std::string &escaped, Printout &pipe,
                        const std::string &raw) {
    EXPECT_TRUE(terminal.waitFor(escaped)) << terminal.text();
    EXPECT_EQ(terminal.text(), escaped);
    EXPECT_EQ(pipe.text(), raw);
}

// Connects to 127.0.0.1:port, retrying while nobody listens yet.
Fd connectTo(std::uint16_t port, Ms limit = 5000ms);
// Connects to `to`:port (127.0.0.1 unless given) from the local address `source`, both as
// text of the same family ("127.0.0.2", "::1", "::ffff:127.0.0.1").
Fd connectFrom(const char *source, std::uint16_t port, const char *to = "127.0.0.1");
// One connection attempt; the errno of the failure, 0 when it connected.
int tryConnect(std::uint16_t port);
// Waits until a socket of this network listens on `port`; false when the time ran out.
bool waitListening(std::uint16_t port, Ms limit = 5000ms);
// A socket listening on `at`:port (127.0.0.1 unless given; IPv6 only for an IPv6 address).
Fd listenOn(std::uint16_t port, const char *at = "127.0.0.1");
// Accepts one connection; an invalid Fd when none came in time.
Fd acceptFrom(const Fd &listener, Ms limit = 5000ms);

void sendBytes(const Fd &s, std::string_view bytes);
// Up to n bytes: fewer when the peer closed or the time ran out.
std::string recvBytes(const Fd &s, std::size_t n, Ms limit = 5000ms);
// True when the peer closes (end of stream) within the limit, with no further byte.
bool closedByPeer(const Fd &s, Ms limit = 5000ms);

// A pattern image: every byte differs from its neighbours, so slips and gaps show.
std::string pattern(std::size_t n);

// The 4 bytes of a count as the chat programs put it on the wire: little-endian.
std::string count32(std::int32_t value);

}  // namespace tgatest
