// A program outside the toolkit that uses every installed module; exits 0 when they behave.
// Run in a scratch directory: it writes a chart and an image there.
#include <sys/stat.h>
#include <unistd.h>

#include <bankList/bankList.h>
#include <chartPainter/chartPainter.h>
#include <client/client.h>
#include <imgfile/imgfile.h>
#include <lineInput/lineInput.h>
#include <textUtil/textUtil.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifdef CONSUMER_CPLUSPLUS
static_assert(__cplusplus == CONSUMER_CPLUSPLUS, "the toolkit's package changed the C++ standard");
#endif

namespace {

int failures = 0;

void check(bool ok, const char *what) {
    if (!ok) {
        std::fprintf(stderr, "consumer: %s failed\n", what);
        ++failures;
    }
}

}  // namespace

int main() {
    image_desc desc{};
    check(mallocImage(&desc, 30, 20) == 600, "mallocImage");
    std::memset(desc.pRed, 1, 600);
    std::memset(desc.pGreen, 2, 600);
    std::memset(desc.pBlue, 3, 600);
    check(mkdir("bank", 0755) == 0, "mkdir bank");
    check(writeImage(desc, targa_header{}, "bank/a.tga") == 1, "writeImage");
    freeImage(&desc);

    NodeImage *bank = readBankImage("bank");
    check(bank != nullptr && bank->width == 30 && bank->height == 20 && bank->size == 1,
          "readBankImage");
    while (bank != nullptr) {  // the list belongs to the caller
        NodeImage *next = bank->next;
        std::free(bank->path);
        std::free(bank->imageName);
        std::free(bank);
        bank = next;
    }

    check(startswith("envoie", "envoie\n") == 1 && calculBgr("bgr") == 111, "textUtil");
    char text[] = "  ab  ";
    check(std::strcmp(delSpaceBeforeEnd(text), "ab") == 0, "delSpaceBeforeEnd");

    int cnt[] = {10, 20, 30};
    drawHis_threeRect(cnt);
    struct stat st {};
    check(stat("test.tga", &st) == 0 && st.st_size == 202818, "drawHis_threeRect");

    int ends[2];
    char header[8] = {};
    check(pipe(ends) == 0, "pipe");
    write_header(ends[1], "bob");
    close(ends[1]);  // a header that never came reads as the end, not as a wait
    check(read(ends[0], header, sizeof header) == 7 && std::memcmp(header, "\3\0\0\0bob", 7) == 0,
          "write_header");
    return failures == 0 ? EXIT_SUCCESS : EXIT_FAILURE;
}
