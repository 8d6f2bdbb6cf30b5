// Test support for the chat programs: a private network per test and the raw socket ends the
// tests play.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "netio/chatWire.h"
#include "netio/netio.h"
#include "tests/support/process.h"

namespace tgatest {

using netio::kTalkPort;

// The end-of-talk byte as the tests send and expect it.
inline const std::string kFF(1, static_cast<char>(netio::kEndOfTalk));

using netio::Fd;

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

// Connects to 127.0.0.1:port, retrying while nobody listens yet.
Fd connectTo(std::uint16_t port, Ms limit = 5000ms);
// Connects to 127.0.0.1:port from the local address `source` (dotted text).
Fd connectFrom(const char *source, std::uint16_t port);
// One connection attempt; the errno of the failure, 0 when it connected.
int tryConnect(std::uint16_t port);
// Waits until a socket of this network listens on `port`; false when the time ran out.
bool waitListening(std::uint16_t port, Ms limit = 5000ms);
// A socket listening on 127.0.0.1:port.
Fd listenOn(std::uint16_t port);
// Accepts one connection; an invalid Fd when none came in time.
Fd acceptFrom(const Fd &listener, Ms limit = 5000ms);

void sendBytes(const Fd &s, std::string_view bytes);
// Up to n bytes: fewer when the peer closed or the time ran out.
std::string recvBytes(const Fd &s, std::size_t n, Ms limit = 5000ms);
// True when the peer closes (end of stream) within the limit, with no further byte.
bool closedByPeer(const Fd &s, Ms limit = 5000ms);

// A pattern image: every byte differs from its neighbours, so slips and gaps show.
std::string pattern(std::size_t n);

// The 4 bytes of a count in host order, as the chat programs put it on the wire.
std::string count32(std::int32_t value);

}  // namespace tgatest
