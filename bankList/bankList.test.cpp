// Tests of the image bank: list order and numbering, size figures, odd entries, failures.
#include "bankList/bankList.h"
#include "bankList/bankWalk.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tests/support/capture.h"
#include "tests/support/files.h"
#include "tests/support/tempdir.h"

namespace {

namespace fs = std::filesystem;

// A TGA header claiming width x height, followed by `pixelBytes` bytes of pixels.
void writeTga(const fs::path &file, uint16_t width, uint16_t height, std::size_t pixelBytes = 0) {
    tgatest::writeFile(file, tgatest::tgaHeader(width, height) + std::string(pixelBytes, '\x55'));
}

using List = bankList_detail::Bank;

std::vector<const NodeImage *> nodes(const NodeImage *head) {
    std::vector<const NodeImage *> v;
    for (; head != nullptr; head = head->next)
        v.push_back(head);
    return v;
}

// The entry names of a directory in the order its stream yields them, without "." and "..".
std::vector<std::string> directoryOrder(const fs::path &dir) {
    std::vector<std::string> names;
    DIR *d = opendir(dir.c_str());
    while (const dirent *e = readdir(d)) {
        const std::string n = e->d_name;
        if (n != "." && n != "..") names.push_back(n);
    }
    closedir(d);
    return names;
}

using tgatest::printed;

class Bank : public testing::Test {
  protected:
    tgatest::TempDir dir;
    const std::string path = dir.path().string();
};

// A 32-bit build with the 32-bit file interfaces loses whole directories on file systems whose
// inode numbers or offsets need 64 bits (readdir fails with EOVERFLOW): every build has them
// at 64 bits, and time at 64 bits too.
class ReadBankImage : public Bank {};

TEST_F(ReadBankImage, FileInterfacesAre64BitInEveryBuild) {
    EXPECT_EQ(sizeof(ino_t), 8u);
    EXPECT_EQ(sizeof(off_t), 8u);
    EXPECT_EQ(sizeof(time_t), 8u);
}

TEST_F(ReadBankImage, NodesFollowTheDirectoryOrderWithSizesFromHeaders) {
    writeTga(dir / "b.tga", 100, 100);
    writeTga(dir / "a.tga", 640, 480);
    writeTga(dir / ".hidden", 10, 10);
    tgatest::writeFile(dir / "notes.txt", "hello, this is not an image at all");

    List list;
    EXPECT_EQ(printed([&] { list.reset(readBankImage(path.c_str())); }), "");
    const auto order = directoryOrder(dir.path());
    const auto all = nodes(list.get());
    ASSERT_EQ(all.size(), order.size());
    ASSERT_EQ(all.size(), 4u);
    const std::map<std::string, std::array<int32_t, 3>> want = {
        // size, width, height
        {"a.tga", {921, 640, 480}},
        {"b.tga", {30, 100, 100}},
        {".hidden", {0, 10, 10}},
        // The first 18 bytes are taken as a header: bytes 12 to 15 are "is n".
        {"notes.txt", {2498797, 'i' | ('s' << 8), ' ' | ('n' << 8)}}};
    for (std::size_t i = 0; i < all.size(); ++i) {
        const NodeImage &n = *all[i];
        EXPECT_EQ(n.id, static_cast<int32_t>(i + 1));
        EXPECT_EQ(n.imageName, order[i]);
        EXPECT_STREQ(n.path, path.c_str());
        EXPECT_EQ((std::array{n.size, n.width, n.height}), want.at(n.imageName)) << n.imageName;
    }

    // The names outlive the directory stream.
    std::string expected;
    for (const auto &name : order)
        expected += "filename is " + name + "\n";
    EXPECT_EQ(printed([&] { printListImage(list.get()); }), expected);
}

TEST_F(ReadBankImage, EmptyAndMissingDirectories) {
    NodeImage *list = reinterpret_cast<NodeImage *>(1);
    EXPECT_EQ(printed([&] { list = readBankImage(path.c_str()); }), "");
    EXPECT_EQ(list, nullptr);
    EXPECT_EQ(printed([] { printListImage(nullptr); }), "");

    const auto missing = (dir / "absent").string();
    EXPECT_EQ(printed([&] { list = readBankImage(missing.c_str()); }), "opendir failed!");
    EXPECT_EQ(list, nullptr);
}

TEST_F(ReadBankImage, SubdirectoriesShortFilesAndSpecialFilesAreZeroSized) {
    fs::create_directory(dir / "sub");
    tgatest::writeFile(dir / "short", tgatest::tgaHeader(0x80, 0).substr(0, 13));
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);  // opening it would wait for a writer
    fs::create_symlink(dir / "fifo", dir / "to-fifo");
    sockaddr_un addr{AF_UNIX, {}};
    const std::string sock = (dir / "sock").string();
    ASSERT_LT(sock.size(), sizeof addr.sun_path);
    sock.copy(addr.sun_path, sock.size());
    const int s = socket(AF_UNIX, SOCK_STREAM, 0);
    const int bound = bind(s, reinterpret_cast<sockaddr *>(&addr), sizeof addr);

    const List list{readBankImage(path.c_str())};
    close(s);
    ASSERT_EQ(bound, 0);
    const auto all = nodes(list.get());
    ASSERT_EQ(all.size(), 5u);
    for (const NodeImage *n : all) {
        const std::string name = n->imageName;
        EXPECT_EQ((std::array{n->size, n->width, n->height}),
                  (std::array{0, name == "short" ? 0x80 : 0, 0}))
            << name;
    }
}

TEST_F(ReadBankImage, LongNamesAreJoinedWhole) {
    // Cut at 254 characters, the longer name would open its shorter neighbour instead.
    const std::size_t room = 254 - dir.path().string().size() - 1;
    ASSERT_LT(room + 8, 255u);
    const std::string decoy(room, 'x');
    writeTga(dir / decoy, 1, 1);
    writeTga(dir / (decoy + "yyyy.tga"), 640, 480);

    const List list{readBankImage(path.c_str())};
    for (const NodeImage *n : nodes(list.get()))
        EXPECT_EQ(n->width, std::string(n->imageName) == decoy ? 1 : 640);
    EXPECT_EQ(nodes(list.get()).size(), 2u);
}

TEST_F(ReadBankImage, AnEntryThatCannotBeOpenedEndsTheProgram) {
    writeTga(dir / "fine.tga", 4, 4);
    fs::create_symlink(dir / "gone.tga", dir / "dangling.tga");
    EXPECT_EXIT(readBankImage(path.c_str()), testing::ExitedWithCode(1),
                "^read image failed!: No such file or directory\n$");
}

// The walk prints nothing and ends nothing: it tells where it stopped and why.
class walkBank : public Bank {};

TEST_F(walkBank, TellsTheFailingEntryAndItsReason) {
    using bankList_detail::Failure;
    writeTga(dir / "fine.tga", 4, 4);
    fs::create_symlink(dir / "gone.tga", dir / "dangling.tga");
    bankList_detail::Walk walk;
    auto p = tgatest::captured([&] { walk = bankList_detail::walkBank(path.c_str(), true); });
    EXPECT_EQ(p.out + p.err, "");
    EXPECT_EQ(walk.status.failure, Failure::readEntry);
    EXPECT_STREQ(walk.status.entry, "dangling.tga");
    EXPECT_EQ(walk.status.error, ENOENT);
    // The nodes made before the failure are kept.
    const bool fineFirst = directoryOrder(dir.path()).front() == "fine.tga";
    EXPECT_EQ(nodes(walk.bank.get()).size(), fineFirst ? 1u : 0u);
    p = tgatest::captured([&] { bankList_detail::reportFailure(walk.status, stdout, stderr); });
    EXPECT_EQ(p.out, "");
    EXPECT_EQ(p.err, "read image failed!: No such file or directory\n");

    const auto missing = (dir / "absent").string();
    p = tgatest::captured([&] { walk = bankList_detail::walkBank(missing.c_str(), false); });
    EXPECT_EQ(p.out + p.err, "");
    EXPECT_EQ(walk.status.failure, Failure::openDirectory);
    EXPECT_STREQ(walk.status.entry, "");
    EXPECT_EQ(walk.status.error, ENOENT);
    EXPECT_EQ(walk.bank, nullptr);
}

class CreateNodeImage : public Bank {};

TEST_F(CreateNodeImage, HeaderFormCopiesNamesAndLeavesIdUnset) {
    writeTga(dir / "img.tga", 640, 480);
    std::string dirName = path;
    std::string name = "img.tga";
    const List n{createNodeImage(name.c_str(), dirName.c_str())};
    dirName.assign(dirName.size(), '#');  // the node keeps its own copies
    name.assign(name.size(), '#');
    EXPECT_STREQ(n->imageName, "img.tga");
    EXPECT_EQ(n->path, path);
    EXPECT_EQ(n->id, 0);
    EXPECT_EQ(n->size, 921);
    EXPECT_EQ(n->next, nullptr);
}

TEST_F(CreateNodeImage, WholeImageFormGivesTheSameNodeWithItsId) {
    writeTga(dir / "full.tga", 100, 100, std::size_t{100} * 100 * 3);
    writeTga(dir / "short.tga", 640, 480, 5);
    for (const char *name : {"full.tga", "short.tga"}) {
        const List a{createNodeImage(name, path.c_str())};
        const List b{createNodeImage(name, path.c_str(), 7)};
        EXPECT_EQ(b->id, 7);
        EXPECT_EQ((std::array{b->size, b->width, b->height}),
                  (std::array{a->size, a->width, a->height}));
        EXPECT_STREQ(b->imageName, name);
    }
    // Pixels are read and dropped, not held: any claim is measured.
    writeTga(dir / "huge.tga", 65535, 65535);
    const List huge{createNodeImage("huge.tga", path.c_str(), 1)};
    EXPECT_EQ((std::array{huge->size, huge->width, huge->height}),
              (std::array{12884508, 65535, 65535}));
}

class UpdateList : public Bank {};

TEST_F(UpdateList, PutsTheNewNodeFirst) {
    writeTga(dir / "a.tga", 640, 480);
    writeTga(dir / "b.tga", 100, 100);
    NodeImage *head = nullptr;
    ::UpdateList("a.tga", path.c_str(), &head);
    ASSERT_NE(head, nullptr);
    EXPECT_EQ(head->next, nullptr);
    ::UpdateList("b.tga", path.c_str(), &head);
    const List list{head};
    const auto all = nodes(head);
    ASSERT_EQ(all.size(), 2u);
    EXPECT_STREQ(all[0]->imageName, "b.tga");
    EXPECT_EQ(all[0]->size, 30);
    EXPECT_STREQ(all[1]->imageName, "a.tga");
    EXPECT_EQ(printed([&] { printListImage(head); }), "filename is b.tga\nfilename is a.tga\n");
}

}  // namespace
