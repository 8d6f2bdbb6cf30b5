// Keepalive on the chat connections: the times reach the socket. (The conversations' tests
// cut a link.)
#include "chatWire/linkWatch.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include "tests/support/chatPeer.h"

using namespace tgatest;
using chatWire::LinkTimes;
using chatWire::watchLink;

namespace {

int intOption(int sock, int level, int name) {
    int value = -1;
    socklen_t size = sizeof value;
    ::getsockopt(sock, level, name, &value, &size);
    return value;
}

}  // namespace

TEST(watchLink, SetsTheTimesOnTcpAndLeavesOtherDescriptors) {
    const Fd listener = listenOn(0);
    sockaddr_in addr{};
    socklen_t size = sizeof addr;
    ::getsockname(listener.get(), reinterpret_cast<sockaddr *>(&addr), &size);
    const Fd tcp = connectTo(ntohs(addr.sin_port));
    ASSERT_TRUE(tcp);
    ASSERT_TRUE(watchLink(tcp.get(), LinkTimes{}));
    EXPECT_EQ(intOption(tcp.get(), SOL_SOCKET, SO_KEEPALIVE), 1);
    EXPECT_EQ(intOption(tcp.get(), IPPROTO_TCP, TCP_KEEPIDLE), 60);
    EXPECT_EQ(intOption(tcp.get(), IPPROTO_TCP, TCP_KEEPINTVL), 10);
    EXPECT_EQ(intOption(tcp.get(), IPPROTO_TCP, TCP_KEEPCNT), 6);
    EXPECT_EQ(intOption(tcp.get(), IPPROTO_TCP, TCP_USER_TIMEOUT), 120000);

    // A socketpair and a pipe, as the in-process tests give, have no link to watch.
    int sv[2], pipe[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, sv), 0);
    ASSERT_EQ(::pipe(pipe), 0);
    const Fd a{sv[0]}, b{sv[1]}, in{pipe[0]}, out{pipe[1]};
    EXPECT_TRUE(watchLink(a.get(), LinkTimes{}));
    EXPECT_TRUE(watchLink(in.get(), LinkTimes{}));
}
