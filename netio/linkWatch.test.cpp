// Keepalive on the chat connections: the times reach the socket, and a cut link is noticed
// while an idle one is not.
#include "netio/linkWatch.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <future>

#include "tests/support/chatPeer.h"
#include "tests/support/vethLink.h"

using namespace tgatest;
using netio::LinkTimes;
using netio::watchLink;

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

class watchLinkOverVeth : public ChatTest {};

TEST_F(watchLinkOverVeth, IdleLinkLastsCutLinkEndsTheWait) {
    if (!isolated_) GTEST_SKIP() << "no private network namespace for the test's veth pair";
    std::string why;
    auto link = VethLink::make(why);
    if (!link) GTEST_SKIP() << why;
    // The far side listens; this side connects across the pair and waits for a byte.
    const Fd listener = link->inFar([] {
        Fd s{::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)};
        const sockaddr_in addr = netio::ipv4Address(INADDR_ANY, 7000);
        if (::bind(s.get(), reinterpret_cast<const sockaddr *>(&addr), sizeof addr) != 0 ||
            ::listen(s.get(), 1) != 0)
            return Fd{};
        return s;
    });
    ASSERT_TRUE(listener);
    const Fd near{::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)};
    in_addr far{};
    ::inet_pton(AF_INET, VethLink::kFar, &far);
    const sockaddr_in addr = netio::ipv4Address(far, 7000);
    ASSERT_EQ(::connect(near.get(), reinterpret_cast<const sockaddr *>(&addr), sizeof addr), 0);
    const Fd farEnd = acceptFrom(listener);
    ASSERT_TRUE(farEnd);
    using namespace std::chrono_literals;
    ASSERT_TRUE(watchLink(near.get(), LinkTimes{1s, 1s, 2, 3000ms}));

    auto wait = std::async(std::launch::async, [&] {
        char c = 0;
        return ::recv(near.get(), &c, 1, 0) < 0 ? errno : 0;
    });
    // Whatever fails below, the wait ends before the test does.
    struct Unblock {
        int sock;
        ~Unblock() { ::shutdown(sock, SHUT_RDWR); }
    } unblock{near.get()};
    // Several probe rounds on an idle link: the far side answers, nothing ends.
    EXPECT_EQ(wait.wait_for(4s), std::future_status::timeout);
    ASSERT_TRUE(link->cut());
    ASSERT_EQ(wait.wait_for(15s), std::future_status::ready);
    const int err = wait.get();
    EXPECT_TRUE(netio::linkLost(err)) << std::strerror(err);
}
