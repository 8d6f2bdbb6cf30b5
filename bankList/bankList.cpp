// The image bank: one node per directory entry, sized from the entry's TGA header.
#include "bankList/bankList.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "bankList/bankWalk.h"
#include "bankList/messages.h"
#include "imgfile/imgfile.h"

namespace {

using namespace bankList_msg;

struct DirClose {
    void operator()(DIR *d) const { closedir(d); }
};
using Dir = std::unique_ptr<DIR, DirClose>;

[[noreturn]] void readFailed() {
    std::perror(kReadFailed);
    std::exit(EXIT_FAILURE);
}

// Entries whose reading could block or never end: FIFOs, sockets and devices, directly or
// through a link. One that stat cannot see (a dangling link) is left for the open to report.
// The directory's own type hint spares the stat for plain files and subdirectories.
bool isSpecialFile(const std::string &name, unsigned char type) {
    if (type == DT_REG || type == DT_DIR) return false;
    if (type == DT_FIFO || type == DT_SOCK || type == DT_CHR || type == DT_BLK) return true;
    struct stat st {};
    if (stat(name.c_str(), &st) != 0) return false;
    return S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode) || S_ISCHR(st.st_mode) ||
           S_ISBLK(st.st_mode);
}

// The entry's header, read alone or with the whole image (whose planes are dropped at once).
targa_header readEntryHeader(const char *imagename, const char *path, bool wholeImage,
                             unsigned char type = DT_UNKNOWN) {
    // Joined at full length: a cut name could open another file.
    const std::string name = std::string(path) + "/" + imagename;
    targa_header head{};
    if (isSpecialFile(name, type)) return head;
    if (!wholeImage) {
        if (readImageHead(&head, name.c_str()) != 1) readFailed();
        return head;
    }
    image_desc desc{};
    if (readImage(&desc, &head, name.c_str()) != 1) readFailed();
    freeImage(&desc);
    return head;
}

NodeImage *makeNode(const char *imagename, const char *path, const targa_header &head) {
    auto *node = static_cast<NodeImage *>(std::malloc(sizeof(NodeImage)));
    char *pathCopy = strdup(path);
    char *nameCopy = strdup(imagename);
    if (node == nullptr || pathCopy == nullptr || nameCopy == nullptr) {
        std::free(node);
        std::free(pathCopy);
        std::free(nameCopy);
        errno = ENOMEM;
        readFailed();
    }
    // At most 65535 x 65535 x 3 / 1000, which fits; the product alone needs 64 bits.
    const auto size = static_cast<int32_t>(uint64_t{head.width} * head.height * 3 / 1000);
    node->id = 0;
    node->path = pathCopy;
    node->imageName = nameCopy;
    node->size = size;
    node->height = head.height;
    node->width = head.width;
    node->next = nullptr;
    return node;
}

}  // namespace

NodeImage *createNodeImage(const char *imagename, const char *path) {
    return makeNode(imagename, path, readEntryHeader(imagename, path, false));
}

NodeImage *createNodeImage(const char *imagename, const char *path, int32_t id) {
    NodeImage *node = makeNode(imagename, path, readEntryHeader(imagename, path, true));
    node->id = id;
    return node;
}

NodeImage *bankList_detail::readBank(const char *path, bool wholeImages) {
    Dir dir{opendir(path)};
    if (!dir) {
        std::printf("%s", kOpendirFailed);
        return nullptr;
    }
    NodeImage *first = nullptr;
    NodeImage **tail = &first;
    int32_t counter = 1;
    while (const dirent *entry = readdir(dir.get())) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
        NodeImage *node = makeNode(
            entry->d_name, path, readEntryHeader(entry->d_name, path, wholeImages, entry->d_type));
        node->id = counter++;
        *tail = node;
        tail = &node->next;
    }
    return first;
}

void bankList_detail::freeBank(NodeImage *head) {
    while (head != nullptr) {
        NodeImage *next = head->next;
        std::free(head->path);
        std::free(head->imageName);
        std::free(head);
        head = next;
    }
}

NodeImage *readBankImage(const char *path) {
    return bankList_detail::readBank(path, false);
}

void UpdateList(const char *imagename, const char *path, NodeImage **head) {
    NodeImage *node = createNodeImage(imagename, path);
    node->next = *head;
    *head = node;
}

void printListImage(const NodeImage *head) {
    for (const NodeImage *p = head; p != nullptr; p = p->next)
        std::printf(kFilename, p->imageName);
}
