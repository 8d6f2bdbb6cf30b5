// The chat server: its conversation and accepting driven in-process over socket pairs and a
// console pipe, its transfers on their own, and a few runs of the program over TCP.
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <climits>  // IWYU pragma: keep (HOST_NAME_MAX)
#include <csignal>
#include <fstream>
#include <future>
#include <memory>
#include <string>
#include <thread>

#include "server/conversation.h"
#include "server/server.h"
#include "server/transfers.h"
#include "tests/support/chatPeer.h"
#include "tests/support/files.h"
#include "tests/support/process.h"
#include "tests/support/programCase.h"
#include "tests/support/tempdir.h"
#include "tests/support/vethLink.h"

using namespace tgatest;

namespace {

// What the server says when it has no image to send.
const std::string kNoImage =
    "Je vais t'envoyer une image\nTaille de l'image : -1\n"
    "Envoi termine. Taille (octets): -1. Lu = -1, Envoye = -1\n"
    "Envoi termine : -1.\n";

// The server's conversation on its own thread; the test plays the client on the far ends and
// types on the operator's console.
class serverConversation : public ConversationTest<server_detail::Chat, server_detail::converse> {
  protected:
    // A client that leaves makes the image's writes fail instead of ending the test binary.
    static void SetUpTestSuite() { std::signal(SIGPIPE, SIG_IGN); }

    // Starts the conversation after sending `header` on the talk connection.
    void start(const std::string &header) {
        sendBytes(talk_.far, header);
        run();
    }
    // Waits for the conversation to end, then closes the server's ends as the program does.
    void finish() {
        join();
        service_.near.reset();
        talk_.near.reset();
    }
};

TEST_F(serverConversation, ImageInfoAndEnd) {
    const std::string image = pattern(786450);
    std::filesystem::create_directory("input");
    writeFile("input/vorla.tga", image);
    start(std::string("\x03\x00\x00\x00", 4) + "bob");

    sendBytes(talk_.far, "transforme photo\n");
    sendBytes(talk_.far, "envoie\n");
    EXPECT_EQ(recvBytes(service_.far, 4), std::string("\x12\x00\x0C\x00", 4));
    EXPECT_EQ(recvBytes(service_.far, image.size(), 10000ms), image);

    sendBytes(talk_.far, "info\n");
    ASSERT_TRUE(out_.waitFor("chat is info\n\n"));
    type("ok\n");
    EXPECT_EQ(recvBytes(talk_.far, 3), "ok\n");

    sendBytes(talk_.far, kFF);
    finish();
    EXPECT_EQ(err_.text(), "");
    EXPECT_EQ(out_.text(),
              "bob is connected\n"
              "J'attends \nchat is transforme photo\n\nRien de special\n"
              "J'attends \nchat is envoie\n\nJe vais t'envoyer une image\n"
              "Taille de l'image : 786450\n"
              "Envoi termine. Taille (octets): 786450. Lu = 786450, Envoye = 786450\n"
              "Envoi termine : 786450.\n"
              "J'attends \nchat is info\n\n"
              "J'attends \nchat is " +
                  kFF + "\nRien de special\n");
}

TEST_F(serverConversation, MissingImageIsAnnouncedAsMinusOne) {
    start(std::string(4, '\0'));
    sendBytes(talk_.far, "envoiexyz" + kFF);
    finish();
    EXPECT_EQ(recvBytes(service_.far, 5, 2000ms), "\xFF\xFF\xFF\xFF");
    EXPECT_EQ(out_.text(),
              " is connected\n"
              "J'attends \nchat is envoiexyz" +
                  kFF + "\n" + kNoImage);
    EXPECT_EQ(err_.text(), "input/vorla.tga: No such file or directory\n");
}

TEST_F(serverConversation, FifoImageIsAnnouncedAsMinusOneWithoutBlocking) {
    std::filesystem::create_directory("input");
    ASSERT_EQ(::mkfifo("input/vorla.tga", 0666), 0);
    start(count32(3) + "bob");
    sendBytes(talk_.far, "envoie\n" + kFF);
    finish();
    EXPECT_EQ(recvBytes(service_.far, 5, 2000ms), "\xFF\xFF\xFF\xFF");
    EXPECT_EQ(out_.text(), "bob is connected\nJ'attends \nchat is envoie\n\n" + kNoImage +
                               "J'attends \nchat is " + kFF + "\nRien de special\n");
    EXPECT_EQ(err_.text(), "input/vorla.tga: not a regular file\n");
}

TEST_F(serverConversation, LongNameAndLongLinesStayInStep) {
    start(count32(16) + "abcdefghijklmnop");
    const std::string longLine = "envoie" + std::string(200, 'x') + "\n";
    sendBytes(talk_.far, longLine);
    EXPECT_EQ(recvBytes(service_.far, 4), "\xFF\xFF\xFF\xFF");
    // A line past the kept bytes still ends the conversation on its real last byte.
    sendBytes(talk_.far, std::string(150, 'y') + kFF);
    finish();
    EXPECT_EQ(out_.text(),
              "abcdefghi is connected\n"
              "J'attends \nchat is envoie" +
                  std::string(93, 'x') + "\n" + kNoImage + "J'attends \nchat is " +
                  std::string(99, 'y') + "\nRien de special\n");
}

TEST_F(serverConversation, HostileNameLengthsEndIt) {
    start(count32(-5));
    finish();
    EXPECT_EQ(err_.text(), "Longueur de nom invalide : -5\n");
    EXPECT_EQ(out_.text(), "");

    // Little-endian on every host: these bytes are 1 MiB + 1, one past the longest name.
    talk_ = socketPair();
    service_ = socketPair();
    start(std::string("\x01\x00\x10\x00", 4) + "bob");
    finish();
    EXPECT_EQ(err_.text(), "Longueur de nom invalide : -5\nLongueur de nom invalide : 1048577\n");
}

TEST_F(serverConversation, ClientLeavingMidLineOrMidTransferEndsIt) {
    start(count32(3) + "bob");
    sendBytes(talk_.far, "hel");
    ASSERT_TRUE(out_.waitFor("J'attends \n"));
    talk_.far.close();
    finish();
    EXPECT_EQ(err_.text(), "Connexion talk fermee par le client\n");

    std::filesystem::create_directory("input");
    writeFile("input/vorla.tga", pattern(16 << 20));
    talk_ = socketPair();
    service_ = socketPair();
    start(count32(3) + "bob" + "envoie\n");
    EXPECT_EQ(recvBytes(service_.far, 4), count32(16 << 20));
    service_.far.close();
    finish();
    EXPECT_NE(err_.text().find("Envoi de l'image interrompu: "), std::string::npos) << err_.text();
}

TEST_F(serverConversation, EndedOperatorInputAnswersEveryInfoWithFF) {
    console_.far.reset();
    start(count32(3) + "bob");
    sendBytes(talk_.far, "info\ninfo please\n");
    EXPECT_EQ(recvBytes(talk_.far, 2), kFF + kFF);
    sendBytes(talk_.far, kFF);
    finish();
    EXPECT_EQ(err_.text(), "");
}

// A console that is not ready yet is waited on; one that fails is reported once, answers
// every info with 0xFF from then on, and makes the status 1.
TEST_F(serverConversation, NonBlockingConsoleIsWaitedOnAndAFailingOneReported) {
    ASSERT_EQ(::fcntl(console_.near.get(), F_SETFL, O_NONBLOCK), 0);
    start(count32(3) + "bob");
    sendBytes(talk_.far, "info\n");
    ASSERT_TRUE(out_.waitFor("chat is info\n\n"));
    std::this_thread::sleep_for(50ms);
    type("ok\n");
    EXPECT_EQ(recvBytes(talk_.far, 3), "ok\n");
    sendBytes(talk_.far, kFF);
    finish();
    EXPECT_EQ(err_.text(), "");

    talk_ = socketPair();
    const Fd directory{::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
    sendBytes(talk_.far, count32(3) + "bob" + "info\ninfo\n" + kFF);
    EXPECT_EQ(server_detail::converse(
                  {service_.near.get(), talk_.near.get(), directory.get(), out_.get(), err_.get()}),
              1);
    EXPECT_EQ(recvBytes(talk_.far, 2), kFF + kFF);
    EXPECT_EQ(err_.text(), "Lecture de la console: Is a directory\n");
}

// A client that sends terminal controls: a name and lines that would retitle and clear the
// operator's terminal, with UTF-8 text and a backslash among them.
const std::string kHostileTalk =
    count32(6) + "\x1b]0;x\x07" + "\x1b[2Jhi\n" + "caf\xc3\xa9 \x9b" + "1m\\n\n" + kFF;
const std::string kHostileShown =
    "\\033]0;x\\007 is connected\n"
    "J'attends \nchat is \\033[2Jhi\n\nRien de special\n"
    "J'attends \nchat is caf\xc3\xa9 \\2331m\\\\n\n\nRien de special\n"
    "J'attends \nchat is \\377\nRien de special\n";

TEST_F(serverConversation, ClientBytesEscapedOnATerminalOnly) {
    Printout terminal{Printout::Kind::Terminal}, pipe, err;
    for (const Printout *out : {&terminal, &pipe}) {
        const SocketPair service = socketPair(), talk = socketPair();
        const Pipe console = consolePipe();
        sendBytes(talk.far, kHostileTalk);
        server_detail::converse(
            {service.near.get(), talk.near.get(), console.near.get(), out->get(), err.get()});
    }
    // On a pipe (or a file) the bytes stay as they came.
    expectShown(terminal, kHostileShown, pipe,
                "\x1b]0;x\x07 is connected\n"
                "J'attends \nchat is \x1b[2Jhi\n\nRien de special\n"
                "J'attends \nchat is caf\xc3\xa9 \x9b"
                "1m\\n\n\nRien de special\n"
                "J'attends \nchat is " +
                    kFF + "\nRien de special\n");
    EXPECT_EQ(err.text(), "");
}

// Over a link the test cuts, the test playing the client beyond it.
TEST_F(serverConversation, VanishedClientIsNoticedIdleOneIsNot) {
    if (const std::string why = overCutLink(); !why.empty()) GTEST_SKIP() << why;
    ASSERT_TRUE(service_.near && talk_.near);
    start(count32(3) + "bob");
    // Probe rounds on an idle link: the client's machine answers, nothing ends until the cut.
    ASSERT_NO_FATAL_FAILURE(expectOnlyTheCutNoticed(run_, *link_));
    EXPECT_EQ(out_.text(), "bob is connected\nJ'attends \n");
    EXPECT_EQ(err_.text(), "Le client ne repond plus : liaison perdue\n");
}

TEST_F(serverConversation, ClientVanishingMidImageIsNoticed) {
    if (const std::string why = overCutLink(); !why.empty()) GTEST_SKIP() << why;
    ASSERT_TRUE(service_.near && talk_.near);
    // The failed send is told from a reset through the connection's TCP state, which an
    // emulator of another byte order (qemu-user) hands over with its bytes turned round.
    tcp_info info{};
    socklen_t size = sizeof info;
    if (::getsockopt(service_.near.get(), IPPROTO_TCP, TCP_INFO, &info, &size) != 0 ||
        info.tcpi_state != TCP_ESTABLISHED)
        GTEST_SKIP() << "this system does not report a connection's TCP state faithfully";
    // No keepalive probe goes while data waits for its acknowledgement: the bound on
    // unacknowledged data ends this one.
    std::filesystem::create_directory("input");
    writeFile("input/vorla.tga", pattern(std::size_t{16} << 20));
    start(count32(3) + "bob" + "envoie\n");
    ASSERT_EQ(recvBytes(service_.far, 4), count32(16 << 20));
    ASSERT_TRUE(link_->cut());
    ASSERT_EQ(run_.wait_for(15s), std::future_status::ready);
    EXPECT_TRUE(
        out_.text().starts_with("bob is connected\nJ'attends \nchat is envoie\n\n"
                                "Je vais t'envoyer une image\n"
                                "Taille de l'image : 16777216\n"))
        << out_.text();
    EXPECT_EQ(err_.text(), "Le client ne repond plus : liaison perdue\n");
}

TEST(acceptFrom, TalkConnectionOnlyFromTheServicePeer) {
    enterPrivateNetwork();  // ::1 and 127.0.0.2 of its own where it may
    // The client's service and talk connections and a stranger's, each as (from, to); the
    // stranger is shown in its own family's form, a mapped IPv4 client is the same client.
    struct Case {
        const char *service[2], *stranger[2], *talk[2], *notice;
    };
    const Case cases[] = {
        {{"127.0.0.1", "127.0.0.1"},
         {"127.0.0.2", "127.0.0.1"},
         {"127.0.0.1", "127.0.0.1"},
         "127.0.0.2"},
        {{"::1", "::1"}, {"127.0.0.1", "127.0.0.1"}, {"::1", "::1"}, "127.0.0.1"},
        {{"127.0.0.1", "127.0.0.1"},
         {"::1", "::1"},
         {"::ffff:127.0.0.1", "::ffff:127.0.0.1"},
         "::1"},
    };
    for (const Case &c : cases) {
        Printout err;
        const Fd listener = server_detail::listenOn(0, err.get());
        ASSERT_TRUE(listener);
        sockaddr_in6 bound{};
        socklen_t length = sizeof bound;
        ASSERT_EQ(::getsockname(listener.get(), reinterpret_cast<sockaddr *>(&bound), &length), 0);
        const auto port = ntohs(bound.sin6_port);
        const Fd service = connectFrom(c.service[0], port, c.service[1]);
        server_detail::PeerAddress peer, from;
        const Fd accepted = server_detail::acceptFrom(listener, nullptr, &peer, err.get());
        ASSERT_TRUE(accepted);
        // Both wait in the backlog: the stranger first.
        Fd stranger = connectFrom(c.stranger[0], port, c.stranger[1]);
        ASSERT_GE(stranger.get(), 0);
        Fd client = connectFrom(c.talk[0], port, c.talk[1]);
        ASSERT_GE(client.get(), 0);

        // Refused while the service connection is watched too.
        const Fd talk =
            server_detail::acceptFrom(listener, &peer, &from, err.get(), accepted.get());
        ASSERT_TRUE(talk);
        EXPECT_TRUE(from == peer);
        EXPECT_EQ(err.text(),
                  std::string("Connexion talk refusee depuis ") + c.notice + " : pas le client\n");
        EXPECT_TRUE(closedByPeer(stranger));
        sendBytes(client, "x");
        EXPECT_EQ(recvBytes(talk, 1), "x");
    }
}

// The transfer functions on their own, over a socket pair.
TEST(read_header, KeepsNineBytesAndLeavesTheStreamInStep) {
    SocketPair pair = socketPair();
    sendBytes(pair.far, count32(12) + "abcdefghijklz\n");
    std::array<char, 10> name{};
    read_header(pair.near.get(), name.data());
    EXPECT_STREQ(name.data(), "abcdefghi");
    std::array<char, 100> line{};
    unsigned char last = 0;
    EXPECT_EQ(server_detail::read_chat_line(pair.near.get(), line.data(), &last), 1);
    EXPECT_STREQ(line.data(), "z\n");
    EXPECT_EQ(last, '\n');
    pair.far.close();
    Printout err;
    EXPECT_EQ(server_detail::read_header_checked(pair.near.get(), name.data(), err.get()), 0);
    EXPECT_EQ(err.text(), "Connexion talk fermee par le client\n");
    EXPECT_STREQ(name.data(), "");
}

TEST(read_chat_line, TakesNothingPastTheLineEnd) {
    SocketPair pair = socketPair();
    sendBytes(pair.far, "ab\ncd" + kFF + "rest");
    pair.far.close();
    std::array<char, 100> line{};
    unsigned char last = 0;
    EXPECT_EQ(server_detail::read_chat_line(pair.near.get(), line.data(), &last), 1);
    EXPECT_STREQ(line.data(), "ab\n");
    EXPECT_EQ(server_detail::read_chat_line(pair.near.get(), line.data(), &last), 1);
    EXPECT_EQ(line.data(), "cd" + kFF);
    EXPECT_EQ(last, chatWire::kEndOfTalk);
    EXPECT_EQ(recvBytes(pair.near, 100), "rest");
}

// The program itself, over TCP: its ports, its start, its exit statuses, its signals and its
// standard streams.
std::string hostName() {
    std::array<char, HOST_NAME_MAX + 1> host{};
    ::gethostname(host.data(), host.size());
    return host.data();
}

class server : public ChatTest {
  protected:
    // Starts the server and connects both connections, then sends `header` on the talk one,
    // as the client's last bytes when `last` is set. The port argument may name the service
    // port in any way that has its low 16 bits. Called inside ASSERT_NO_FATAL_FAILURE.
    void start(const std::string &header, const std::string &portText = "", bool last = false) {
        const std::string arg = portText.empty() ? std::to_string(port()) : portText;
        server_ = std::make_unique<Child>(std::vector<std::string>{program("server").string(), arg},
                                          dir_.path());
        service_ = connectTo(static_cast<std::uint16_t>(std::stoul(arg)));
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

    TempDir dir_;
    std::unique_ptr<Child> server_;
    Fd service_, talk_;
};

// Where the server closes first, its ports keep their closing state; a new server binds them
// at once all the same.
TEST_F(server, RestartsAtOnceAfterClosingFirst) {
    for (int round = 0; round < 2; ++round) {
        ASSERT_NO_FATAL_FAILURE(start(count32(3) + "bob" + kFF));
        EXPECT_EQ(server_->wait(), 0);
        EXPECT_TRUE(closedByPeer(service_));
        EXPECT_TRUE(closedByPeer(talk_));
        EXPECT_EQ(conversation(),
                  "bob is connected\nJ'attends \nchat is " + kFF + "\nRien de special\n");
    }
}

// A client that leaves before its talk connection ends the wait; stray bytes do not.
TEST_F(server, ClientLeavingBeforeItsTalkConnectionEndsIt) {
    server_ = std::make_unique<Child>(
        std::vector<std::string>{program("server").string(), std::to_string(port())}, dir_.path());
    service_ = connectTo(port());
    ASSERT_TRUE(server_->waitOut("Connexion service etablie"));
    sendBytes(service_, "stray");
    EXPECT_FALSE(server_->waitErr("fermee", 300ms));
    service_.close();
    EXPECT_EQ(server_->wait(3000ms), 1);
    EXPECT_EQ(server_->err(), "Connexion service fermee par le client\n");
}

TEST_F(server, ServesOneClientThenEndsWithZero) {
    ASSERT_NO_FATAL_FAILURE(start(count32(3) + "bob"));
    // Only one client: the service port closed with its accept.
    EXPECT_EQ(tryConnect(port()), ECONNREFUSED);
    sayLast(kFF);
    EXPECT_EQ(server_->wait(), 0);
    EXPECT_TRUE(closedByPeer(service_));
    EXPECT_TRUE(closedByPeer(talk_));
    EXPECT_EQ(server_->err(), "");
    EXPECT_EQ(conversation(),
              "bob is connected\nJ'attends \nchat is " + kFF + "\nRien de special\n");
    const std::string first = server_->out().substr(0, server_->out().find('\n') + 1);
    EXPECT_NE(first.find(" - " + std::to_string(::geteuid()) + "; Machine: " + hostName()),
              std::string::npos);
    EXPECT_EQ(first.find("User:  - "), std::string::npos) << first;
}

TEST_F(server, HostileNameLengthEndsWithZero) {
    ASSERT_NO_FATAL_FAILURE(start(count32(-5), "", true));
    EXPECT_EQ(server_->wait(), 0);
    EXPECT_EQ(server_->err(), "Longueur de nom invalide : -5\n");
    EXPECT_TRUE(closedByPeer(talk_));
    EXPECT_TRUE(closedByPeer(service_));
}

TEST_F(server, ClientLeavingMidTransferEndsWithoutBrokenPipe) {
    std::filesystem::create_directory(dir_ / "input");
    writeFile(dir_ / "input/vorla.tga", pattern(16 << 20));
    ASSERT_NO_FATAL_FAILURE(start(count32(3) + "bob"));
    sayLast("envoie\n");
    EXPECT_EQ(recvBytes(service_, 4), count32(16 << 20));
    service_.close();
    EXPECT_EQ(server_->wait(), 0);
    EXPECT_NE(server_->err().find("Envoi de l'image interrompu: "), std::string::npos)
        << server_->err();
}

// A closed console reads as ended; a closed output takes no connection's place, and what could
// not be printed there is a failure. A failing console reads as ended too, and makes the status 1.
class StandardStreams : public server, public testing::WithParamInterface<tgatest::ProgramCase> {};

TEST_P(StandardStreams, Case) {
    const tgatest::ProgramCase &row = GetParam();
    server_ = std::make_unique<Child>(
        std::vector<std::string>{"/bin/sh", "-c", "exec \"$0\" \"$1\" " + row.redirect,
                                 program("server").string(), std::to_string(port())},
        dir_.path());
    service_ = connectTo(port());
    talk_ = connectTo(kTalkPort);
    sendBytes(talk_, count32(3) + "bob" + "info\n");
    EXPECT_EQ(recvBytes(talk_, 1), kFF);  // the operator's console has ended
    sayLast(kFF);
    EXPECT_EQ(server_->wait(), row.status);
    EXPECT_TRUE(closedByPeer(service_));
    EXPECT_EQ(server_->err(), row.err);
}

INSTANTIATE_TEST_SUITE_P(
    server, StandardStreams,
    testing::ValuesIn(std::vector<tgatest::ProgramCase>{
        {"closedOutput", {}, "<&- >&-", 1, "", "server: Bad file descriptor\n"},
        {"fullDisk", {}, "<&- >/dev/full", 1, "", "server: No space left on device\n"},
        {"failingConsole", {}, "</", 1, "", "Lecture de la console: Is a directory\n"}}),
    tgatest::rowName);

TEST_F(server, StartsOnAMachineWithALongName) {
    if (!isolated_ || ::unshare(CLONE_NEWUTS) != 0) GTEST_SKIP() << "no private host name";
    const std::string name(64, 'h');
    ASSERT_EQ(::sethostname(name.data(), name.size()), 0);
    ASSERT_NO_FATAL_FAILURE(start(count32(0)));
    sayLast(kFF);
    EXPECT_EQ(server_->wait(), 0);
    EXPECT_NE(server_->out().find("; Machine: " + name + "\n"), std::string::npos);
}

// An image file that changes under a transfer to a slow reader: only the file's own bytes go
// out, never more than announced.
TEST(send_img, FileChangingDuringTheTransferSendsOnlyItsOwnBytes) {
    TempDir dir;
    InDirectory here{dir.path()};
    std::filesystem::create_directory("input");
    const std::string image = pattern(std::size_t{64} << 20);
    struct Transfer {
        int result = 0;
        std::string got, out, err;
    };
    // `change` runs once `after` image bytes have been taken; the rest is read to the end.
    auto transfer = [&](std::size_t size, std::size_t after, auto change) {
        writeFile("input/vorla.tga", image.substr(0, size));
        SocketPair pair = socketPair();
        Printout out, err;
        Transfer t;
        std::thread slow([&] {
            t.got = recvBytes(pair.far, 4 + after);
            change();
            t.got += recvBytes(pair.far, size, 20000ms);
        });
        t.result = server_detail::send_img_checked(pair.near.get(), out.get(), err.get());
        pair.near.close();
        slow.join();
        EXPECT_EQ(t.got.substr(0, 4), count32(static_cast<std::int32_t>(size)));
        t.got.erase(0, 4);
        t.out = out.text();
        t.err = err.text();
        return t;
    };

    const std::size_t kept = (std::size_t{8} << 20) + 5;
    const Transfer shrunk = transfer(image.size(), std::size_t{1} << 20, [] {
        ASSERT_EQ(::truncate("input/vorla.tga", (8 << 20) + 5), 0);
    });
    EXPECT_EQ(shrunk.result, -1);
    EXPECT_EQ(shrunk.got.size(), kept);
    EXPECT_TRUE(shrunk.got == image.substr(0, kept));
    EXPECT_EQ(shrunk.out,
              "Taille de l'image : 67108864\n"
              "Envoi termine. Taille (octets): 67108864. Lu = 8388613, Envoye = 8388613\n"
              "Envoi termine : 8388613.\n");
    EXPECT_EQ(shrunk.err,
              "Image raccourcie pendant l'envoi : 67108864 octets annonces, 8388613 lus\n");

    const Transfer grown = transfer(std::size_t{4} << 20, std::size_t{1} << 20, [] {
        std::ofstream("input/vorla.tga", std::ios::app) << std::string(1 << 20, 'g');
    });
    EXPECT_EQ(grown.result, 1);
    EXPECT_EQ(grown.got.size(), std::size_t{4} << 20);
    EXPECT_EQ(grown.err, "");
}

TEST_F(server, ShowsClientBytesEscapedOnATerminal) {
    Printout terminal{Printout::Kind::Terminal};
    const int shown = ::fileno(terminal.get());
    const std::string path = program("server").string(), arg = std::to_string(port());
    Child child([&] {
        ::dup2(shown, STDOUT_FILENO);
        if (::chdir(dir_.path().c_str()) == 0)
            ::execl(path.c_str(), path.c_str(), arg.c_str(), static_cast<char *>(nullptr));
    });
    service_ = connectTo(port());
    ASSERT_GE(service_.get(), 0);
    talk_ = connectTo(kTalkPort);
    ASSERT_GE(talk_.get(), 0);
    sayLast(kHostileTalk);
    EXPECT_EQ(child.wait(), 0);
    EXPECT_TRUE(terminal.waitFor(kHostileShown)) << terminal.text();
    EXPECT_EQ(child.err(), "");
}

}  // namespace
