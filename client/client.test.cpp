// The chat client: its conversation driven in-process over socket pairs and a console pipe,
// its transfers on their own, and a few runs of the program over TCP.
#include <fcntl.h>
#include <linux/sockios.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "client/client.h"
#include "client/conversation.h"
#include "client/transfers.h"
#include "tests/support/chatPeer.h"
#include "tests/support/files.h"
#include "tests/support/privilege.h"
#include "tests/support/process.h"
#include "tests/support/programCase.h"
#include "tests/support/tempdir.h"
#include "tests/support/vethLink.h"

using namespace tgatest;

namespace {

// The client's conversation on its own thread; the test plays the server on the far ends and
// types on the console.
class clientConversation : public ConversationTest<client_detail::Chat, client_detail::converse> {
  protected:
    void start() { run(); }
    // Ends the console and waits for the conversation to end.
    void finish() {
        console_.far.reset();
        join();
    }

    std::string output() const { return readFile(dir_ / "output/testsortie.tga"); }

    // One "envoie" line answered with `bytes` on the service connection.
    void transfer(const std::string &bytes) {
        const std::size_t from = out_.text().size();
        type("envoie\n");
        EXPECT_EQ(recvBytes(talk_.far, 7), "envoie\n");
        sendBytes(service_.far, bytes);
        EXPECT_TRUE(out_.waitFor("Copie terminee", 5000ms, from));
    }
};

TEST_F(clientConversation, PiecewiseImageAndInfoReplies) {
    start();
    type("transforme photo\n");
    EXPECT_EQ(recvBytes(talk_.far, 17), "transforme photo\n");

    const std::string image = pattern(786450);
    type("envoie\n");
    EXPECT_EQ(recvBytes(talk_.far, 7), "envoie\n");
    sendBytes(service_.far, std::string("\x12\x00", 2));
    std::this_thread::sleep_for(20ms);
    sendBytes(service_.far, std::string("\x0C\x00", 2));
    for (std::size_t at = 0; at < image.size(); at += 100000) {
        sendBytes(service_.far, image.substr(at, 100000));
        std::this_thread::sleep_for(5ms);
    }
    ASSERT_TRUE(out_.waitFor("Copie terminee"));
    EXPECT_EQ(output(), image);

    // Replies shown while the client waits at its prompt; a lone 0xFF shows nothing.
    sendBytes(talk_.far, "ok\n");
    ASSERT_TRUE(out_.waitFor("Info du serveur : ok\n"));
    sendBytes(talk_.far, kFF + "fin" + kFF);
    ASSERT_TRUE(out_.waitFor("Info du serveur : fin\n"));
    finish();
    EXPECT_EQ(recvBytes(talk_.far, 1), kFF);
    EXPECT_EQ(err_.text(), "");
    EXPECT_EQ(out_.text(),
              "Dites moi quelque chose\n"
              "Je transforme une image : transforme photo\n\n"
              "Dites moi quelque chose\n"
              "Je vais recevoir une image\n"
              "Taille de l'image a recevoir : 786450\n"
              "Copie terminee : lu 786450 octets , \n"
              "Dites moi quelque chose\n"
              "Info du serveur : ok\n"
              "Info du serveur : fin\n");
}

TEST_F(clientConversation, StoredFileIsExactlyTheLastImage) {
    start();
    transfer("\xFF\xFF\xFF\xFF");  // no image: an empty file, output/ made for it
    EXPECT_EQ(output(), "");
    writeFile(dir_ / "output/testsortie.tga", "an older, longer image");
    transfer("\xFF\xFF\xFF\xFF");  // left as it was
    EXPECT_EQ(output(), "an older, longer image");
    transfer(count32(3) + "new");  // replaced whole, no old tail
    EXPECT_EQ(output(), "new");
    finish();
    EXPECT_NE(out_.text().find("Taille de l'image a recevoir : -1\n"
                               "Copie terminee : lu 0 octets , \n"),
              std::string::npos);
    EXPECT_EQ(err_.text(), "");
}

TEST_F(clientConversation, CutTransferKeepsWhatArrivedAndEndsOnClosedService) {
    std::filesystem::create_directory(dir_ / "output");
    writeFile(dir_ / "output/testsortie.tga", "old image");
    writeFile(dir_ / "output/testsortie.tga.part", "older part");
    start();
    type("envoie\n");
    sendBytes(service_.far, count32(0x7FFFFFFF) + "0123456789");
    service_.far.close();
    ASSERT_TRUE(
        err_.waitFor("Image incomplete : 10 octets recus sur 2147483647\n"
                     "Octets recus gardes dans output/testsortie.tga.part\n"));
    EXPECT_EQ(readFile(dir_ / "output/testsortie.tga.part"), "0123456789");
    EXPECT_EQ(output(), "old image");
    type("envoie encore\n");
    join();  // ended by the closed service, not by the console
    EXPECT_EQ(err_.text(),
              "Image incomplete : 10 octets recus sur 2147483647\n"
              "Octets recus gardes dans output/testsortie.tga.part\n"
              "Connexion service fermee par le serveur\n");
    EXPECT_EQ(readFile(dir_ / "output/testsortie.tga.part"), "0123456789");
    EXPECT_EQ(output(), "old image");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_ / "output"), {}), 2);
}

TEST_F(clientConversation, NewImageReplacesALinkOrFifoWithoutWritingThrough) {
    std::filesystem::create_directory(dir_ / "output");
    writeFile(dir_ / "precious", "precious");
    std::filesystem::create_symlink("../precious", dir_ / "output/testsortie.tga");
    start();
    transfer(count32(3) + "new");
    EXPECT_EQ(readFile(dir_ / "precious"), "precious");
    EXPECT_FALSE(std::filesystem::is_symlink(dir_ / "output/testsortie.tga"));
    EXPECT_EQ(output(), "new");
    const mode_t mask = ::umask(0);
    ::umask(mask);
    struct stat st {};
    ASSERT_EQ(::stat((dir_ / "output/testsortie.tga").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask);

    std::filesystem::remove(dir_ / "output/testsortie.tga");
    ASSERT_EQ(::mkfifo((dir_ / "output/testsortie.tga").c_str(), 0666), 0);
    transfer(count32(4) + "fifo");
    EXPECT_EQ(output(), "fifo");

    // A regular file replaced passes on its permission bits.
    ASSERT_EQ(::chmod((dir_ / "output/testsortie.tga").c_str(), 0604), 0);
    transfer(count32(4) + "kept");
    ASSERT_EQ(::stat((dir_ / "output/testsortie.tga").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0604u);
    finish();
    EXPECT_EQ(err_.text(), "");
}

TEST_F(clientConversation, LongLinesAreSentWholeAndEndOnTheirLastByte) {
    start();
    const std::string tail(2000, 'x');
    type("transforme" + tail + "\n");
    EXPECT_EQ(recvBytes(talk_.far, 2011), "transforme" + tail + "\n");
    ASSERT_TRUE(out_.waitFor("Je transforme une image : transforme" + tail.substr(0, 1013) + "\n"));
    type(tail);
    // Taken as they come: each byte goes out on its own, more than a local socket holds.
    EXPECT_EQ(recvBytes(talk_.far, 2000), tail);
    finish();
    EXPECT_EQ(recvBytes(talk_.far, 1), kFF);
}

TEST_F(clientConversation, ServerClosingTheTalkEndsIt) {
    start();
    talk_.far.close();
    join();
    EXPECT_EQ(err_.text(), "Connexion talk fermee par le serveur\n");
    EXPECT_EQ(out_.text(), "Dites moi quelque chose\n");
}

// The server sends its operator's reply before it reads the next line: a reply too long for
// the connection's buffers must be taken while the client waits for the image, and is shown
// after it.
TEST_F(clientConversation, LongInfoReplyBeforeAnImageIsTakenAndShownAfterIt) {
    start();
    type("info\nenvoie\n");
    EXPECT_EQ(recvBytes(talk_.far, 12), "info\nenvoie\n");
    const timeval bound{10, 0};  // a client that takes nothing fails the test, not hangs it
    ASSERT_EQ(::setsockopt(talk_.far.get(), SOL_SOCKET, SO_SNDTIMEO, &bound, sizeof bound), 0);
    const std::string reply = std::string(std::size_t{16} << 20, 'r') + "\n";
    ASSERT_TRUE(fdio::sendAll(talk_.far.get(), reply.data(), reply.size()));
    sendBytes(service_.far, count32(3) + "img");
    ASSERT_TRUE(out_.waitFor("Info du serveur : "));
    finish();
    EXPECT_EQ(output(), "img");
    // Nothing of the reply shows before the transfer's lines, whether it was completed during
    // the transfer or at the next prompt.
    const std::string transfer =
        "Dites moi quelque chose\nDites moi quelque chose\n"
        "Je vais recevoir une image\nTaille de l'image a recevoir : 3\n"
        "Copie terminee : lu 3 octets , \n";
    EXPECT_EQ(out_.text().substr(0, transfer.size()), transfer);
    EXPECT_NE(out_.text().find("Info du serveur : " + std::string(1000, 'r'), transfer.size()),
              std::string::npos);
    EXPECT_EQ(err_.text(), "");
}

// Replies held during an image go on into a temporary file beyond 16 MiB and all show after
// it, in order, each cut at 1023 bytes with its line end kept; where no temporary file can be
// made, the rest are counted.
TEST_F(clientConversation, HeldRepliesBeyondMemoryAllShowOrAreCounted) {
    std::string replies, shown;
    for (int i = 0; i < 17000; ++i) {
        const std::string reply = std::to_string(i) + std::string(2000, 'r');
        replies += reply + "\n";
        shown += "Info du serveur : " + reply.substr(0, 1023) + "\n";
    }
    for (const char *tmp : {"", "/nonexistent"}) {
        ::setenv("TMPDIR", tmp, 1);
        const SocketPair service = socketPair(), talk = socketPair();
        Pipe console = consolePipe();
        std::FILE *out = std::tmpfile();
        std::thread run([&] {
            client_detail::converse(
                {service.near.get(), talk.near.get(), console.near.get(), out, err_.get()});
        });
        ASSERT_TRUE(fdio::writeAll(console.far.get(), "envoie\n", 7));
        EXPECT_EQ(recvBytes(talk.far, 7), "envoie\n");
        sendBytes(talk.far, replies);
        for (int unread = 1; unread > 0; std::this_thread::sleep_for(1ms))
            ASSERT_EQ(::ioctl(talk.far.get(), SIOCOUTQ, &unread), 0);  // all taken before the image
        sendBytes(service.far, count32(3) + "img");
        console.far.reset();
        run.join();
        std::rewind(out);
        std::string got(shown.size() + 200, '\0');
        got.resize(std::fread(got.data(), 1, got.size(), out));
        std::fclose(out);
        const std::string head =
            "Dites moi quelque chose\nJe vais recevoir une image\n"
            "Taille de l'image a recevoir : 3\nCopie terminee : lu 3 octets , \n";
        // 16 MiB hold 16384 replies of 1024 bytes.
        const std::size_t kept = *tmp == '\0' ? shown.size() : std::size_t{16384} * 1042;
        const std::string want = head + shown.substr(0, kept) + "Dites moi quelque chose\n";
        EXPECT_TRUE(got == want) << got.size() << " bytes shown, not " << want.size();
    }
    ::unsetenv("TMPDIR");
    EXPECT_EQ(err_.text(), "Reponses du serveur non affichees (pas de fichier temporaire) : 616\n");
}

// A console that fails is reported and ends the conversation as its end does, status 1.
TEST_F(clientConversation, FailingConsoleEndsItWithStatusOne) {
    const Fd directory{::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
    EXPECT_EQ(client_detail::converse(
                  {service_.near.get(), talk_.near.get(), directory.get(), out_.get(), err_.get()}),
              1);
    EXPECT_EQ(recvBytes(talk_.far, 1), kFF);
    EXPECT_EQ(err_.text(), "Lecture de la console: Is a directory\n");
    EXPECT_EQ(out_.text(), "Dites moi quelque chose\n");
}

TEST_F(clientConversation, ServerBytesEscapedOnATerminalOnly) {
    // A reply that would retitle the user's terminal, with UTF-8 text; then a reply cut by the
    // end of the operator's input, a C1 control sequence.
    const std::string replies = "\x1b]2;t\x07ok caf\xc3\xa9\n\x9b[31m" + kFF;
    Printout terminal{Printout::Kind::Terminal}, pipe, err;
    for (const Printout *out : {&terminal, &pipe}) {
        const SocketPair service = socketPair(), talk = socketPair();
        Pipe console = consolePipe();
        sendBytes(talk.far, replies);
        ASSERT_TRUE(fdio::writeAll(console.far.get(), "info\n", 5));
        console.far.reset();
        client_detail::converse(
            {service.near.get(), talk.near.get(), console.near.get(), out->get(), err.get()});
    }
    const std::string shown =
        "Dites moi quelque chose\n"
        "Info du serveur : \\033]2;t\\007ok caf\xc3\xa9\n"
        "Info du serveur : \\233[31m\n"
        "Dites moi quelque chose\n";
    // On a pipe (or a file) the bytes stay as they came.
    expectShown(terminal, shown, pipe,
                "Dites moi quelque chose\n"
                "Info du serveur : \x1b]2;t\x07ok caf\xc3\xa9\n"
                "Info du serveur : \x9b[31m\n"
                "Dites moi quelque chose\n");
    EXPECT_EQ(err.text(), "");
}

// Over a link the test cuts, the test playing the server beyond it; the user types nothing.
TEST_F(clientConversation, VanishedServerIsNoticedIdleUserIsNot) {
    if (const std::string why = overCutLink(); !why.empty()) GTEST_SKIP() << why;
    ASSERT_TRUE(service_.near && talk_.near);
    start();
    // Probe rounds on an idle link: the server's machine answers, nothing ends until the cut.
    ASSERT_NO_FATAL_FAILURE(expectOnlyTheCutNoticed(run_, *link_));
    EXPECT_EQ(out_.text(), "Dites moi quelque chose\n");
    EXPECT_EQ(err_.text(), "Le serveur ne repond plus : liaison perdue\n");
}

TEST(write_header, LengthLittleEndianThenTheBareName) {
    SocketPair pair = socketPair();
    write_header(pair.near.get(), "bob");
    write_header(pair.near.get(), "");
    write_header(pair.near.get(), std::string(258, 'n').c_str());
    pair.near.close();
    EXPECT_EQ(recvBytes(pair.far, 300),
              std::string("\x03\0\0\0bob\0\0\0\0\x02\x01\0\0", 15) + std::string(258, 'n'));
}

// The program itself, over TCP: its start, its exit statuses and its standard streams.
const std::string kStart = "User: bob - " + std::to_string(::geteuid()) +
                           "; Machine: 127.0.0.1\nConnexion au talk etablie\n"
                           "Dites moi quelque chose\n";

class client : public ChatTest {
  protected:
    // Starts the client, its standard streams changed by the shell `redirect` when given, with
    // the fault library preloaded when faults_ names settings for it, and hosts_ as its
    // /etc/hosts when that names a file.
    std::unique_ptr<Child> launch(const std::vector<std::string> &args,
                                  const std::string &redirect = "") {
        std::vector<std::string> argv{program("client").string()};
        if (!redirect.empty())
            argv.insert(argv.begin(), {"/bin/sh", "-c", "exec \"$0\" \"$@\" " + redirect});
        if (!faults_.empty()) {
            // A sanitizer's runtime would otherwise refuse to load after the preloaded library.
            const char *asan = std::getenv("ASAN_OPTIONS");
            std::vector<std::string> env{
                "/usr/bin/env", std::string("LD_PRELOAD=") + FILE_FAULTS_LIB,
                "ASAN_OPTIONS=" + std::string(asan != nullptr ? asan : "") +
                    ":verify_asan_link_order=0"};
            env.insert(env.end(), faults_.begin(), faults_.end());
            argv.insert(argv.begin(), env.begin(), env.end());
        }
        if (!hosts_.empty())
            argv.insert(argv.begin(), {"/usr/bin/unshare", "--mount", "/bin/sh", "-c",
                                       "mount --bind \"$0\" /etc/hosts && exec \"$@\"", hosts_});
        argv.insert(argv.end(), args.begin(), args.end());
        return std::make_unique<Child>(argv, dir_.path());
    }

    // Plays the server on `at`: takes both connections of a client started as bob for
    // `machine`. Called inside ASSERT_NO_FATAL_FAILURE, so a failed start ends the test.
    void start(const std::string &redirect = "", const char *machine = "127.0.0.1",
               const char *at = "127.0.0.1") {
        Fd serviceListener = listenOn(port(), at);
        Fd talkListener = listenOn(kTalkPort, at);
        client_ = launch({machine, std::to_string(port()), "bob"}, redirect);
        service_ = acceptFrom(serviceListener);
        ASSERT_GE(service_.get(), 0);
        talk_ = acceptFrom(talkListener, 5000ms);
        ASSERT_GE(talk_.get(), 0);
        ASSERT_EQ(recvBytes(talk_, 7), std::string("\x03\0\0\0bob", 7));
    }

    std::string output() const { return readFile(dir_ / "output/testsortie.tga"); }

    TempDir dir_;
    std::vector<std::string> faults_;
    std::string hosts_;
    std::unique_ptr<Child> client_;
    Fd service_, talk_;
};

TEST_F(client, StartFailuresExitOne) {
    // A user name that starts with '-' is a user name all the same.
    auto noServer = launch({"127.0.0.1", std::to_string(port()), "-bob"});
    EXPECT_EQ(noServer->wait(), 1);
    EXPECT_EQ(noServer->out(),
              "User: -bob - " + std::to_string(::geteuid()) + "; Machine: 127.0.0.1\n");
    EXPECT_EQ(noServer->err(), "Erreur de connexion");

    Fd serviceOnly = listenOn(port());
    auto noTalk = launch({"127.0.0.1", std::to_string(port()), "bob"});
    EXPECT_EQ(noTalk->wait(), 1);
    EXPECT_EQ(noTalk->err(), "Erreur de connexion au talk: Connection refused\n");

    // Out of descriptors is not an unknown machine.
    const std::string path = program("client").string();
    Child starved([&] {
        ::close_range(3, ~0U, 0);  // only the standard streams left, whatever ran the test
        const rlimit four{4, 4};
        ::setrlimit(RLIMIT_NOFILE, &four);
        std::array<const char *, 5> argv{path.c_str(), "localhost", "5000", "bob", nullptr};
        ::execv(argv[0], const_cast<char *const *>(argv.data()));
    });
    EXPECT_EQ(starved.wait(), 1);
    EXPECT_EQ(starved.err(),
              "Recherche de la machine localhost impossible : Too many open files\n");

    if (!isolated_) return;  // name lookups may leave the machine
    auto unknown = launch({std::string(70, 'q') + ".invalid", "5000", "bob"});
    EXPECT_EQ(unknown->wait(), 1);
    EXPECT_EQ(unknown->out(), "");
    EXPECT_EQ(unknown->err(), "Machine inconnue : " + std::string(70, 'q') + ".invalid\n");
}

// A signal that ends the client during a transfer keeps what came as the .part, as a cut
// transfer does, and leaves nothing else, whether the file system gives unnamed files or the
// named one has to be removed; after SIGKILL nothing new is left. Signals that dump core and
// real-time ones are covered by the new file's own tests: under an emulator the first add a
// line of the emulator's to the standard error, and the others may change their numbers.
TEST_F(client, SignalDuringATransferKeepsWhatCameAsThePart) {
    std::filesystem::create_directory(dir_ / "output");
    writeFile(dir_ / "output/testsortie.tga", "old image");
    struct Case {
        int sig;
        bool named;
    };
    for (const Case c : {Case{SIGINT, false},
                         {SIGTERM, true},
                         {SIGHUP, false},
                         {SIGKILL, false},
                         {SIGUSR2, true},
                         {SIGUSR1, false},
                         {SIGVTALRM, true}}) {
        writeFile(dir_ / "output/testsortie.tga.part", "older part");
        faults_ =
            c.named ? std::vector<std::string>{"TGAKIT_NO_TMPFILE=1"} : std::vector<std::string>{};
        ASSERT_NO_FATAL_FAILURE(start());
        client_->type("envoie\n");
        sendBytes(service_, count32(1000) + "0123456789");
        std::this_thread::sleep_for(500ms);  // the bytes are taken; the client waits for more
        client_->signal(c.sig);
        EXPECT_EQ(client_->wait(), -1);
        EXPECT_EQ(client_->termSignal(), c.sig);
        const bool caught = c.sig != SIGKILL;
        EXPECT_EQ(client_->err(), caught ? "Image incomplete : 10 octets recus sur 1000\n"
                                           "Octets recus gardes dans output/testsortie.tga.part\n"
                                         : "");
        EXPECT_EQ(readFile(dir_ / "output/testsortie.tga.part"),
                  caught ? "0123456789" : "older part");
        EXPECT_EQ(output(), "old image");
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_ / "output"), {}), 2);
    }
}

// A closed console is an ended one: the conversation ends as after Ctrl-D, and both
// connections close. Closed outputs send nothing to the server; what could not be printed is a
// failure, and so is a failing console, after the same end.
class StandardStreams : public client, public testing::WithParamInterface<tgatest::ProgramCase> {};

TEST_P(StandardStreams, Case) {
    const tgatest::ProgramCase &row = GetParam();
    ASSERT_NO_FATAL_FAILURE(start(row.redirect));
    if (!row.input.empty()) {
        client_->type(row.input);
        EXPECT_EQ(recvBytes(talk_, row.input.size()), row.input);
    }
    client_->endInput();
    EXPECT_EQ(recvBytes(talk_, 1), kFF);
    EXPECT_EQ(client_->wait(), row.status);
    EXPECT_TRUE(closedByPeer(service_));
    EXPECT_TRUE(closedByPeer(talk_));
    EXPECT_EQ(client_->out(), row.out);
    EXPECT_EQ(client_->err(), row.err);
}

INSTANTIATE_TEST_SUITE_P(
    client, StandardStreams,
    testing::ValuesIn(std::vector<tgatest::ProgramCase>{
        {"closedConsole", {}, "<&-", 0, kStart, ""},
        {"closedOutputs", {}, ">&- 2>&-", 1, "", "", "transforme x\n"},
        {"failingConsole", {}, "</", 1, kStart, "Lecture de la console: Is a directory\n"},
        {"fullDisk", {}, ">/dev/full", 1, "", "client: No space left on device\n"}}),
    tgatest::rowName);

TEST_F(client, EndsWithZeroWhenTheServerLeaves) {
    // Closing first leaves the talk port in its closing state for a minute, which the tests that
    // follow would trip over where they share the loopback network.
    if (!isolated_) GTEST_SKIP() << "needs a network namespace of its own";
    ASSERT_NO_FATAL_FAILURE(start());
    talk_.close();
    EXPECT_EQ(client_->wait(), 0);
    EXPECT_EQ(client_->err(), "Connexion talk fermee par le serveur\n");
    EXPECT_TRUE(closedByPeer(service_));
}

TEST_F(client, TalksToTheRealServer) {
    TempDir serverDir;
    const std::string image = pattern(300001);
    std::filesystem::create_directory(serverDir / "input");
    writeFile(serverDir / "input/vorla.tga", image);
    Child server({program("server").string(), std::to_string(port())}, serverDir.path());
    // The client gives up at once when nobody listens on the service port yet.
    ASSERT_TRUE(waitListening(port()));
    client_ = launch({"localhost", std::to_string(port()), "alice"});
    ASSERT_TRUE(server.waitOut("alice is connected\n"));
    client_->type("envoie\n");
    ASSERT_TRUE(client_->waitOut("Copie terminee : lu 300001 octets , \n"));
    client_->type("info\n");
    ASSERT_TRUE(server.waitOut("chat is info\n\n"));
    server.type("ok\n");
    ASSERT_TRUE(client_->waitOut("Info du serveur : ok\n"));
    client_->endInput();
    EXPECT_EQ(client_->wait(), 0);
    EXPECT_EQ(server.wait(), 0);
    EXPECT_EQ(readFile(dir_ / "output/testsortie.tga"), image);
    EXPECT_EQ(server.err() + client_->err(), "");
    EXPECT_NE(server.out().find("J'attends \nchat is " + kFF + "\nRien de special\n"),
              std::string::npos);
}

// The server by a name or an address of either family, also on a network of one family:
// IPv4 addresses first, the next one when an address refuses or is unreachable, the talk
// connection to the address that accepted.
TEST_F(client, ReachesTheServerOnEveryFamily) {
    if (!isolated_) GTEST_SKIP() << "needs a network namespace of its own";
    TGATEST_NEEDS_ROOT("mounts an /etc/hosts of its own");
    writeFile(dir_ / "hosts", "127.0.0.1 both\n::1 both\n::1 sixonly\n");
    hosts_ = (dir_ / "hosts").string();
    ASSERT_NO_FATAL_FAILURE(start("", "both", "::1"));  // nothing on 127.0.0.1: refused
    client_->endInput();
    EXPECT_EQ(client_->wait(), 0);

    struct Case {
        const char *network, *machine;
    };
    for (const Case c : {Case{"", "127.0.0.1"},
                         {"", "::1"},
                         {"", "::ffff:127.0.0.1"},
                         {"", "sixonly"},
                         {"ip addr del 127.0.0.1/8 dev lo", "both"},  // IPv6 only
                         {"ip addr add 127.0.0.1/8 dev lo && echo 1 | tee "
                          "/proc/sys/net/ipv6/conf/*/disable_ipv6",
                          "both"}}) {  // IPv4 only
        const std::string network = std::string("PATH=/usr/sbin:/sbin:$PATH; ") + c.network;
        ASSERT_EQ(run({"/bin/sh", "-c", network}).exitCode, 0) << c.network;
        Child server({program("server").string(), std::to_string(port())}, dir_.path());
        ASSERT_TRUE(waitListening(port()));
        client_ = launch({c.machine, std::to_string(port()), "bob"});
        EXPECT_TRUE(server.waitOut("bob is connected\n")) << c.machine;
        client_->endInput();
        EXPECT_EQ(client_->wait(), 0) << c.machine << ": " << client_->err();
        EXPECT_EQ(server.wait(), 0) << c.machine << ": " << server.err();
    }
}

TEST_F(client, ExhaustedMemoryIsReportedAndLeavesNothing) {
    // Requests over 512 KiB fail: the transfer's buffer does, nothing before it.
    faults_ = {"TGAKIT_FAIL_NEW_OVER=524288"};
    ASSERT_NO_FATAL_FAILURE(start());
    client_->type("envoie\n");
    sendBytes(service_, count32(4 << 20) + "abc");
    EXPECT_EQ(client_->wait(), 1);
    EXPECT_EQ(client_->err(), "client: Cannot allocate memory\n");
    EXPECT_FALSE(std::filesystem::exists(dir_ / "output"));
}

// What arrived of a private image stays private: the .part takes the permission bits of the
// image it stands for, else of the .part it replaces, else 0666 less the umask.
TEST(recv_img, CutTransferPartTakesThePermissionsOfTheImage) {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    // The image's mode, the earlier .part's (0: none), the new .part's.
    for (const auto &[image, part, kept] :
         {std::array<mode_t, 3>{0600, 0644, 0600}, {0, 0640, 0640}, {0, 0, 0666 & ~mask}}) {
        TempDir dir;
        InDirectory here{dir.path()};
        std::filesystem::create_directory("output");
        if (image != 0) writeFile("output/testsortie.tga", "older");
        if (part != 0) writeFile("output/testsortie.tga.part", "older");
        ::chmod("output/testsortie.tga", image);
        ::chmod("output/testsortie.tga.part", part);
        SocketPair pair = socketPair();
        sendBytes(pair.far, "0123456789");
        pair.far.close();
        Printout out, err;
        client_detail::receiveImage(pair.near.get(), 100, out.get(), err.get());
        struct stat st {};
        ASSERT_EQ(::stat("output/testsortie.tga.part", &st), 0);
        EXPECT_EQ(st.st_mode & 0777, kept) << image << " " << part;
    }
}

TEST(recv_img, FailingPartFileIsTheOneNamed) {
    TempDir dir;
    InDirectory here{dir.path()};
    std::filesystem::create_directories("output/testsortie.tga.part/inside");
    SocketPair pair = socketPair();
    sendBytes(pair.far, "0123456789");
    pair.far.close();
    Printout out, err;
    client_detail::receiveImage(pair.near.get(), 100, out.get(), err.get());
    EXPECT_EQ(out.text(), "Copie terminee : lu 10 octets , \n");
    EXPECT_EQ(err.text(),
              "Image incomplete : 10 octets recus sur 100\n"
              "Ecriture de output/testsortie.tga.part: Is a directory\n");
    EXPECT_FALSE(std::filesystem::exists("output/testsortie.tga"));
}

}  // namespace
