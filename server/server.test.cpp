// The chat server, driven through its connections by a client played byte by byte.
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <climits>
#include <fstream>
#include <string>
#include <thread>

#include "server/server.h"
#include "server/serverDetail.h"
#include "tests/support/capture.h"
#include "tests/support/chatPeer.h"
#include "tests/support/files.h"
#include "tests/support/process.h"
#include "tests/support/suite.h"
#include "tests/support/tempdir.h"

using namespace tgatest;

namespace {

// What the server says when it has no image to send.
const std::string kNoImage =
    "Je vais t'envoyer une image\nTaille de l'image : -1\n"
    "Envoi termine. Taille (octets): -1. Lu = -1, Envoye = -1\n"
    "Envoi termine : -1.\n";

std::string hostName() {
    std::array<char, HOST_NAME_MAX + 1> host{};
    ::gethostname(host.data(), host.size());
    return host.data();
}

class ServerTest : public ChatTest {
  protected:
    // Starts the server and connects both connections, then sends `header` on the talk one,
    // as the client's last bytes when `last` is set. The port argument may name the service
    // port in any way that has its low 16 bits. Called inside ASSERT_NO_FATAL_FAILURE.
    void start(const std::string &header, const std::string &portText = "", bool last = false) {
        const std::string arg = portText.empty() ? std::to_string(port()) : portText;
        server_ = std::make_unique<Child>(
            std::vector<std::string>{tgatest::program("server").string(), arg}, dir_.path());
        service_ = connectTo(static_cast<std::uint16_t>(std::stoul(arg) & 0xFFFF));
        ASSERT_GE(service_.get(), 0);
        ASSERT_TRUE(server_->waitOut("Connexion service etablie. User: "));
        talk_ = connectTo(kTalkPort);
        ASSERT_GE(talk_.get(), 0);
        ASSERT_TRUE(server_->waitOut("Connexion talk etablie sur machine: " + hostName() + "\n"));
        last ? sayLast(header) : sendBytes(talk_, header);
    }

    // Sends the client's last bytes with the end of stream in the same segment (corked), so
    // the server closes second, the closing state stays on this side and the talk port is free
    // again at once for the next test where tests share the loopback network.
    void sayLast(const std::string &bytes) {
        const int on = 1;
        ::setsockopt(talk_.get(), IPPROTO_TCP, TCP_CORK, &on, sizeof on);
        sendBytes(talk_, bytes);
        ::shutdown(talk_.get(), SHUT_WR);
    }

    // The output after the two connection lines.
    std::string conversation() const {
        const std::string &out = server_->out();
        const auto talkLine = out.find("Connexion talk etablie");
        return out.substr(out.find('\n', talkLine) + 1);
    }

    tgatest::TempDir dir_;
    std::unique_ptr<Child> server_;
    Fd service_, talk_;
};

TGATEST_F(ServerTest, server, UsageErrorsExitOneBeforeListening) {
    const std::string server = tgatest::program("server").string();
    for (const auto &argv : {std::vector<std::string>{server}, {server, "1", "2"}}) {
        const auto r = tgatest::run(argv, {"", {}, 5000ms});
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "Usage : " + argv[0] + " port-number\n");
    }
}

TGATEST_F(ServerTest, server, WholeConversationWithImageInfoAndEnd) {
    const std::string image = pattern(786450);
    std::filesystem::create_directory(dir_ / "input");
    tgatest::writeFile(dir_ / "input/vorla.tga", image);
    ASSERT_NO_FATAL_FAILURE(start(std::string("\x03\x00\x00\x00", 4) + "bob"));

    // Only one client: the service port closed with its accept.
    EXPECT_EQ(tryConnect(port()), ECONNREFUSED);

    sendBytes(talk_, "transforme photo\n");
    sendBytes(talk_, "envoie\n");
    EXPECT_EQ(recvBytes(service_, 4), std::string("\x12\x00\x0C\x00", 4));
    EXPECT_EQ(recvBytes(service_, image.size(), 10000ms), image);

    sendBytes(talk_, "info\n");
    ASSERT_TRUE(server_->waitOut("chat is info\n\n"));
    server_->type("ok\n");
    EXPECT_EQ(recvBytes(talk_, 3), "ok\n");

    sayLast(kFF);
    EXPECT_EQ(server_->wait(), 0);
    EXPECT_TRUE(closedByPeer(service_));
    EXPECT_TRUE(closedByPeer(talk_));
    EXPECT_EQ(server_->err(), "");
    EXPECT_EQ(conversation(),
              "bob is connected\n"
              "J'attends \nchat is transforme photo\n\nRien de special\n"
              "J'attends \nchat is envoie\n\nJe vais t'envoyer une image\n"
              "Taille de l'image : 786450\n"
              "Envoi termine. Taille (octets): 786450. Lu = 786450, Envoye = 786450\n"
              "Envoi termine : 786450.\n"
              "J'attends \nchat is info\n\n"
              "J'attends \nchat is " +
                  kFF + "\nRien de special\n");
    const std::string first = server_->out().substr(0, server_->out().find('\n') + 1);
    EXPECT_NE(first.find(" - " + std::to_string(::geteuid()) + "; Machine: " + hostName()),
              std::string::npos);
    EXPECT_EQ(first.find("User:  - "), std::string::npos) << first;
}

TGATEST_F(ServerTest, server, MissingImageIsAnnouncedAsMinusOne) {
    ASSERT_NO_FATAL_FAILURE(start(std::string(4, '\0'), std::to_string(port() + 65536) + "xyz"));
    sayLast("envoiexyz" + kFF);
    EXPECT_EQ(recvBytes(service_, 5, 2000ms), "\xFF\xFF\xFF\xFF");
    EXPECT_EQ(server_->wait(), 0);
    EXPECT_EQ(conversation(),
              " is connected\n"
              "J'attends \nchat is envoiexyz" +
                  kFF + "\n" + kNoImage);
}

TGATEST_F(ServerTest, server, FifoImageIsAnnouncedAsMinusOneWithoutBlocking) {
    std::filesystem::create_directory(dir_ / "input");
    ASSERT_EQ(::mkfifo((dir_ / "input/vorla.tga").c_str(), 0666), 0);
    ASSERT_NO_FATAL_FAILURE(start(count32(3) + "bob"));
    sayLast("envoie\n" + kFF);
    EXPECT_EQ(recvBytes(service_, 5, 2000ms), "\xFF\xFF\xFF\xFF");
    EXPECT_EQ(server_->wait(), 0);
    EXPECT_EQ(conversation(), "bob is connected\nJ'attends \nchat is envoie\n\n" + kNoImage +
                                  "J'attends \nchat is " + kFF + "\nRien de special\n");
}

TGATEST_F(ServerTest, server, LongNameAndLongLinesStayInStep) {
    ASSERT_NO_FATAL_FAILURE(start(count32(16) + "abcdefghijklmnop"));
    const std::string longLine = "envoie" + std::string(200, 'x') + "\n";
    sendBytes(talk_, longLine);
    EXPECT_EQ(recvBytes(service_, 4), "\xFF\xFF\xFF\xFF");
    // A line past the kept bytes still ends the conversation on its real last byte.
    sayLast(std::string(150, 'y') + kFF);
    EXPECT_EQ(server_->wait(), 0);
    EXPECT_EQ(conversation(),
              "abcdefghi is connected\n"
              "J'attends \nchat is envoie" +
                  std::string(93, 'x') + "\n" + kNoImage + "J'attends \nchat is " +
                  std::string(99, 'y') + "\nRien de special\n");
}

TGATEST_F(ServerTest, server, HostileNameLengthsEndTheConversation) {
    for (const std::int32_t length : {-5, (1 << 20) + 1}) {
        ASSERT_NO_FATAL_FAILURE(
            start(count32(length), std::to_string(port() + (length < 0 ? 0 : 1)), true));
        EXPECT_EQ(server_->wait(), 0);
        EXPECT_EQ(server_->err(), "Longueur de nom invalide : " + std::to_string(length) + "\n");
        EXPECT_TRUE(closedByPeer(talk_));
        EXPECT_TRUE(closedByPeer(service_));
    }
}

TGATEST_F(ServerTest, server, ClientLeavingMidLineEndsCleanly) {
    ASSERT_NO_FATAL_FAILURE(start(count32(3) + "bob"));
    sendBytes(talk_, "hel");
    ASSERT_TRUE(server_->waitOut("J'attends \n"));
    talk_.close();
    EXPECT_EQ(server_->wait(), 0);
    EXPECT_EQ(server_->err(), "Connexion talk fermee par le client\n");
    EXPECT_TRUE(closedByPeer(service_));
}

TGATEST_F(ServerTest, server, ClientLeavingMidTransferEndsWithoutBrokenPipe) {
    std::filesystem::create_directory(dir_ / "input");
    tgatest::writeFile(dir_ / "input/vorla.tga", pattern(16 << 20));
    ASSERT_NO_FATAL_FAILURE(start(count32(3) + "bob"));
    sayLast("envoie\n");
    EXPECT_EQ(recvBytes(service_, 4), count32(16 << 20));
    service_.close();
    EXPECT_EQ(server_->wait(), 0);
    EXPECT_NE(server_->err().find("Envoi de l'image interrompu: "), std::string::npos)
        << server_->err();
}

TGATEST_F(ServerTest, server, EndedOperatorInputAnswersEveryInfoWithFF) {
    ASSERT_NO_FATAL_FAILURE(start(count32(3) + "bob"));
    server_->endInput();
    sendBytes(talk_, "info\ninfo please\n");
    EXPECT_EQ(recvBytes(talk_, 2), kFF + kFF);
    sayLast(kFF);
    EXPECT_EQ(server_->wait(), 0);
}

TGATEST_F(ServerTest, server, TalkConnectionOnlyFromTheServicePeer) {
    if (!isolated_) GTEST_SKIP() << "needs a network of its own for a second local address";
    server_ = std::make_unique<Child>(
        std::vector<std::string>{tgatest::program("server").string(), std::to_string(port())},
        dir_.path());
    service_ = connectTo(port());
    ASSERT_TRUE(waitListening(kTalkPort));
    const std::string refused = "Connexion talk refusee depuis 127.0.0.2 : pas le client\n";
    Fd stranger = connectFrom("127.0.0.2", kTalkPort);
    ASSERT_GE(stranger.get(), 0);
    ASSERT_TRUE(server_->waitErr(refused));
    EXPECT_TRUE(closedByPeer(stranger));
    EXPECT_EQ(server_->out().find("Connexion talk etablie"), std::string::npos);
    talk_ = connectTo(kTalkPort);
    sayLast(count32(3) + "bob" + kFF);
    EXPECT_EQ(server_->wait(), 0);
    EXPECT_EQ(server_->err(), refused);
    EXPECT_EQ(conversation(),
              "bob is connected\nJ'attends \nchat is " + kFF + "\nRien de special\n");
}

TGATEST_F(ServerTest, server, ClosedOrFullStandardStreams) {
    const std::string server = tgatest::program("server").string();
    auto converse = [&](const std::string &redirect, std::uint16_t servicePort) {
        server_ = std::make_unique<Child>(
            std::vector<std::string>{"/bin/sh", "-c", "exec \"$0\" \"$1\" " + redirect, server,
                                     std::to_string(servicePort)},
            dir_.path());
        service_ = connectTo(servicePort);
        talk_ = connectTo(kTalkPort);
        sendBytes(talk_, count32(3) + "bob" + "info\n");
        EXPECT_EQ(recvBytes(talk_, 1), kFF);  // the operator's console has ended
        sayLast(kFF);
        return server_->wait();
    };
    // A closed console reads as ended; a closed output takes no connection's place.
    EXPECT_EQ(converse("<&- >&-", port()), 0);
    EXPECT_TRUE(closedByPeer(service_));
    EXPECT_EQ(server_->err(), "");

    EXPECT_EQ(converse("<&- >/dev/full", static_cast<std::uint16_t>(port() + 1)), 1);
    EXPECT_EQ(server_->err(), "server: No space left on device\n");
}

TGATEST_F(ServerTest, server, StartsOnAMachineWithALongName) {
    if (!isolated_ || ::unshare(CLONE_NEWUTS) != 0) GTEST_SKIP() << "no private host name";
    const std::string name(64, 'h');
    ASSERT_EQ(::sethostname(name.data(), name.size()), 0);
    ASSERT_NO_FATAL_FAILURE(start(count32(0)));
    sayLast(kFF);
    EXPECT_EQ(server_->wait(), 0);
    EXPECT_NE(server_->out().find("; Machine: " + name + "\n"), std::string::npos);
}

// The transfer functions on their own, over a socket pair.
TEST(read_header, KeepsNineBytesAndLeavesTheStreamInStep) {
    std::array<int, 2> fds{};
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds.data()), 0);
    Fd a{fds[0]}, b{fds[1]};
    sendBytes(b, count32(12) + "abcdefghijklz\n");
    std::array<char, 10> name{};
    read_header(a.get(), name.data());
    EXPECT_STREQ(name.data(), "abcdefghi");
    std::array<char, 100> line{};
    unsigned char last = 0;
    EXPECT_EQ(server_detail::read_chat_line(a.get(), line.data(), &last), 1);
    EXPECT_STREQ(line.data(), "z\n");
    EXPECT_EQ(last, '\n');
    b.close();
    const std::string err =
        printedErr([&] { EXPECT_EQ(server_detail::read_header_checked(a.get(), name.data()), 0); });
    EXPECT_EQ(err, "Connexion talk fermee par le client\n");
    EXPECT_STREQ(name.data(), "");
}

TEST(read_chat_line, TakesNothingPastTheLineEnd) {
    std::array<int, 2> fds{};
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds.data()), 0);
    Fd a{fds[0]}, b{fds[1]};
    sendBytes(b, "ab\ncd" + kFF + "rest");
    b.close();
    std::array<char, 100> line{};
    unsigned char last = 0;
    EXPECT_EQ(server_detail::read_chat_line(a.get(), line.data(), &last), 1);
    EXPECT_STREQ(line.data(), "ab\n");
    EXPECT_EQ(server_detail::read_chat_line(a.get(), line.data(), &last), 1);
    EXPECT_EQ(line.data(), "cd" + kFF);
    EXPECT_EQ(last, netio::kEndOfTalk);
    EXPECT_EQ(recvBytes(a, 100), "rest");
}

// An image file that changes under a transfer to a slow reader: only the file's own bytes go
// out, never more than announced.
TEST(send_img, FileChangingDuringTheTransferSendsOnlyItsOwnBytes) {
    tgatest::TempDir dir;
    InDirectory here{dir.path()};
    std::filesystem::create_directory("input");
    const std::string image = pattern(std::size_t{64} << 20);
    // `change` runs once `after` image bytes have been taken; the rest is read to the end.
    auto transfer = [&](std::size_t size, std::size_t after, auto change, int *result) {
        tgatest::writeFile("input/vorla.tga", image.substr(0, size));
        std::array<int, 2> fds{};
        EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds.data()), 0);
        Fd serverEnd{fds[0]}, reader{fds[1]};
        std::string got;
        std::thread slow([&] {
            got = recvBytes(reader, 4 + after);
            change();
            got += recvBytes(reader, size, 20000ms);
        });
        const Printed p =
            captured([&] { *result = server_detail::send_img_checked(serverEnd.get()); });
        serverEnd.close();
        slow.join();
        EXPECT_EQ(got.substr(0, 4), count32(static_cast<std::int32_t>(size)));
        got.erase(0, 4);
        return std::pair{got, p};
    };

    const std::size_t kept = (std::size_t{8} << 20) + 5;
    int result = 0;
    const auto [shrunk, said] = transfer(
        image.size(), std::size_t{1} << 20,
        [] { ASSERT_EQ(::truncate("input/vorla.tga", (8 << 20) + 5), 0); }, &result);
    EXPECT_EQ(result, -1);
    EXPECT_EQ(shrunk.size(), kept);
    EXPECT_TRUE(shrunk == image.substr(0, kept));
    EXPECT_EQ(said.out,
              "Taille de l'image : 67108864\n"
              "Envoi termine. Taille (octets): 67108864. Lu = 8388613, Envoye = 8388613\n"
              "Envoi termine : 8388613.\n");
    EXPECT_EQ(said.err,
              "Image raccourcie pendant l'envoi : 67108864 octets annonces, 8388613 lus\n");

    const auto [grown, grownSaid] = transfer(
        std::size_t{4} << 20, std::size_t{1} << 20,
        [] { std::ofstream("input/vorla.tga", std::ios::app) << std::string(1 << 20, 'g'); },
        &result);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(grown.size(), std::size_t{4} << 20);
    EXPECT_EQ(grownSaid.err, "");
}

}  // namespace
