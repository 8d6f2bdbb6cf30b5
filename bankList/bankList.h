// Image bank: a linked list with one node per entry of a directory, built from the entries'
// TGA headers.
#pragma once

#include <cstdint>

// One image of the bank. The node, path and imageName are separate malloc blocks owned by
// whoever holds the list; the module never releases them.
typedef struct NodeImage_ {
    int32_t id;       // position in the list that readBankImage built, from 1
    char *path;       // the directory the node was made with (the node's own copy)
    char *imageName;  // the entry's name within the directory (the node's own copy)
    int32_t size;     // width x height x 3 / 1000: the pixel data in thousands of bytes
    int32_t height;   // from the file's header
    int32_t width;    // from the file's header
    struct NodeImage_ *next;
} NodeImage;

// Builds the list of every entry of directory `path` but "." and "..", in the order the
// directory yields them, numbered from 1, reading only each file's header. Returns null for a
// directory with no other entry, or, after printing "opendir failed!" (no line end) on the
// standard output, for one that cannot be opened. An entry that cannot be opened ends the
// program (see createNodeImage), and so does a failing read of the directory: "readdir failed!"
// with the reason (perror), exit status 1.
NodeImage *readBankImage(const char *path);

// Makes a node (next null, id 0) for entry `imagename` of directory `path` from the file's
// header. A short file gets its missing header bytes as 0; a subdirectory, and a FIFO, socket or
// device (also through a link), gets 0 x 0 without being read. When the file cannot be opened
// or read, prints "read image failed!" with the reason (perror) and exits with status 1.
NodeImage *createNodeImage(const char *imagename, const char *path);

// The same, numbered `id`, but reading the whole file, whatever its kind, up to the size it had
// when it was opened, through a small buffer: nothing is kept, and memory stays bounded
// whatever the header claims. The holes of a sparse file hold only zeros and are passed over,
// not read, so the work follows what the file stores rather than what its header claims. The
// node is the same as the first form's.
NodeImage *createNodeImage(const char *imagename, const char *path, int32_t id);

// Puts a new node for `imagename` in front of *head (its id stays 0).
void UpdateList(const char *imagename, const char *path, NodeImage **head);

// Prints "filename is <name>" for every node from head on; nothing for an empty list.
void printListImage(const NodeImage *head);
