// Tests of the image bank: list order and numbering, size figures, odd entries, failures.
#include "bankList/bankList.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "testing/process.h"
#include "testing/tempdir.h"

namespace {

namespace fs = std::filesystem;

// A TGA header claiming width x height, followed by `pixelBytes` bytes of pixels.
void writeTga(const fs::path &file, uint16_t width, uint16_t height, std::size_t pixelBytes = 0) {
    std::string h(18, '\0');
    h[2] = 2;
    h[12] = static_cast<char>(width & 0xFF);
    h[13] = static_cast<char>(width >> 8);
    h[14] = static_cast<char>(height & 0xFF);
    h[15] = static_cast<char>(height >> 8);
    h[16] = 24;
    tgatest::writeFile(file, h + std::string(pixelBytes, '\x55'));
}

void freeList(NodeImage *head) {
    while (head != nullptr) {
        NodeImage *next = head->next;
        std::free(head->path);
        std::free(head->imageName);
        std::free(head);
        head = next;
    }
}

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

template <class Fn>
std::string captureStdout(Fn fn) {
    testing::internal::CaptureStdout();
    fn();
    std::fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

TEST(readBankImage, NodesFollowTheDirectoryOrderWithSizesFromHeaders) {
    tgatest::TempDir dir;
    writeTga(dir / "b.tga", 100, 100);
    writeTga(dir / "a.tga", 640, 480);
    writeTga(dir / ".hidden", 10, 10);
    tgatest::writeFile(dir / "notes.txt", "hello, this is not an image at all");

    NodeImage *list = nullptr;
    const std::string out = captureStdout([&] { list = readBankImage(dir.path().c_str()); });
    EXPECT_EQ(out, "");
    const auto all = nodes(list);
    const auto order = directoryOrder(dir.path());
    ASSERT_EQ(all.size(), order.size());
    ASSERT_EQ(all.size(), 4u);
    for (std::size_t i = 0; i < all.size(); ++i) {
        const NodeImage &n = *all[i];
        EXPECT_EQ(n.id, static_cast<int32_t>(i + 1));
        EXPECT_EQ(n.imageName, order[i]);
        EXPECT_STREQ(n.path, dir.path().c_str());
        const std::string name = n.imageName;
        if (name == "a.tga") {
            EXPECT_EQ(n.size, 921);
            EXPECT_EQ(n.width, 640);
            EXPECT_EQ(n.height, 480);
        } else if (name == "b.tga") {
            EXPECT_EQ(n.size, 30);
        } else if (name == ".hidden") {
            EXPECT_EQ(n.size, 0);
            EXPECT_EQ(n.width, 10);
        } else {  // "notes.txt": its first 18 bytes are taken as a header
            EXPECT_EQ(n.width, 'i' | ('s' << 8));  // bytes 12 and 13: "is"
            EXPECT_EQ(n.height, ' ' | ('n' << 8));
        }
    }

    // The names outlive the directory stream.
    std::string expected;
    for (const auto &name : order)
        expected += "filename is " + name + "\n";
    EXPECT_EQ(captureStdout([&] { printListImage(list); }), expected);
    freeList(list);
}

TEST(readBankImage, EmptyAndMissingDirectories) {
    tgatest::TempDir dir;
    NodeImage *list = reinterpret_cast<NodeImage *>(1);
    EXPECT_EQ(captureStdout([&] { list = readBankImage(dir.path().c_str()); }), "");
    EXPECT_EQ(list, nullptr);
    EXPECT_EQ(captureStdout([] { printListImage(nullptr); }), "");

    const auto missing = (dir / "absent").string();
    EXPECT_EQ(captureStdout([&] { list = readBankImage(missing.c_str()); }), "opendir failed!");
    EXPECT_EQ(list, nullptr);
}

TEST(readBankImage, SubdirectoriesShortFilesAndSpecialFilesAreZeroSized) {
    tgatest::TempDir dir;
    fs::create_directory(dir / "sub");
    tgatest::writeFile(dir / "short", std::string("\0\0\2\0\0\0\0\0\0\0\0\0\x80", 13));
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);  // opening it would wait for a writer
    fs::create_symlink(dir / "fifo", dir / "to-fifo");
    const int s = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(s, 0);
    const std::unique_ptr<const int, void (*)(const int *)> closeSocket(
        &s, [](const int *fd) { close(*fd); });
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const std::string sock = (dir / "sock").string();
    ASSERT_LT(sock.size(), sizeof addr.sun_path);
    sock.copy(addr.sun_path, sock.size());
    ASSERT_EQ(bind(s, reinterpret_cast<sockaddr *>(&addr), sizeof addr), 0);

    NodeImage *list = readBankImage(dir.path().c_str());
    const auto all = nodes(list);
    ASSERT_EQ(all.size(), 5u);
    for (const NodeImage *n : all) {
        const std::string name = n->imageName;
        EXPECT_EQ(n->size, 0) << name;
        EXPECT_EQ(n->height, 0) << name;
        EXPECT_EQ(n->width, name == "short" ? 0x80 : 0) << name;
    }
    freeList(list);
}

TEST(readBankImage, LongNamesAreJoinedWhole) {
    tgatest::TempDir dir;
    // Cut at 254 characters, the longer name would open its shorter neighbour instead.
    const std::size_t room = 254 - dir.path().string().size() - 1;
    ASSERT_LT(room + 8, 255u);
    const std::string decoy(room, 'x');
    writeTga(dir / decoy, 1, 1);
    writeTga(dir / (decoy + "yyyy.tga"), 640, 480);

    NodeImage *list = readBankImage(dir.path().c_str());
    for (const NodeImage *n : nodes(list)) {
        EXPECT_EQ(n->width, std::string(n->imageName) == decoy ? 1 : 640);
    }
    EXPECT_EQ(nodes(list).size(), 2u);
    freeList(list);
}

TEST(readBankImage, AnEntryThatCannotBeOpenedEndsTheProgram) {
    tgatest::TempDir dir;
    writeTga(dir / "fine.tga", 4, 4);
    fs::create_symlink(dir / "gone.tga", dir / "dangling.tga");
    EXPECT_EXIT(readBankImage(dir.path().c_str()), testing::ExitedWithCode(1),
                "^read image failed!: No such file or directory\n$");
}

TEST(createNodeImage, HeaderFormCopiesNamesAndLeavesIdUnset) {
    tgatest::TempDir dir;
    writeTga(dir / "img.tga", 640, 480);
    std::string path = dir.path().string();
    std::string name = "img.tga";
    NodeImage *n = createNodeImage(name.c_str(), path.c_str());
    path.assign(path.size(), '#');  // the node keeps its own copies
    name.assign(name.size(), '#');
    EXPECT_STREQ(n->imageName, "img.tga");
    EXPECT_STREQ(n->path, dir.path().c_str());
    EXPECT_EQ(n->id, 0);
    EXPECT_EQ(n->size, 921);
    EXPECT_EQ(n->next, nullptr);
    freeList(n);
}

TEST(createNodeImage, WholeImageFormGivesTheSameNodeWithItsId) {
    tgatest::TempDir dir;
    writeTga(dir / "full.tga", 100, 100, std::size_t{100} * 100 * 3);
    writeTga(dir / "short.tga", 640, 480, 5);
    for (const char *name : {"full.tga", "short.tga"}) {
        NodeImage *a = createNodeImage(name, dir.path().c_str());
        NodeImage *b = createNodeImage(name, dir.path().c_str(), 7);
        EXPECT_EQ(b->id, 7);
        EXPECT_EQ(b->size, a->size);
        EXPECT_EQ(b->width, a->width);
        EXPECT_EQ(b->height, a->height);
        EXPECT_STREQ(b->imageName, name);
        freeList(a);
        freeList(b);
    }
    // Too many pixels to hold: the reason is reported.
    writeTga(dir / "huge.tga", 65535, 65535);
    EXPECT_EXIT(createNodeImage("huge.tga", dir.path().c_str(), 1), testing::ExitedWithCode(1),
                "^read image failed!: Value too large for defined data type\n$");
}

TEST(UpdateList, PutsTheNewNodeFirst) {
    tgatest::TempDir dir;
    writeTga(dir / "a.tga", 640, 480);
    writeTga(dir / "b.tga", 100, 100);
    NodeImage *head = nullptr;
    UpdateList("a.tga", dir.path().c_str(), &head);
    ASSERT_NE(head, nullptr);
    EXPECT_EQ(head->next, nullptr);
    UpdateList("b.tga", dir.path().c_str(), &head);
    const auto all = nodes(head);
    ASSERT_EQ(all.size(), 2u);
    EXPECT_STREQ(all[0]->imageName, "b.tga");
    EXPECT_EQ(all[0]->size, 30);
    EXPECT_STREQ(all[1]->imageName, "a.tga");
    EXPECT_EQ(captureStdout([&] { printListImage(head); }),
              "filename is b.tga\nfilename is a.tga\n");
    freeList(head);
}

}  // namespace
