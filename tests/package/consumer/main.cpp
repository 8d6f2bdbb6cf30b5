// Uses one function of each installed module; exits 0 when they all behave.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifdef HAVE_IMGFILE
#include <imgfile/imgfile.h>
#endif
#ifdef HAVE_BANKLIST
#include <bankList/bankList.h>
#endif
#ifdef HAVE_CHARTPAINTER
#include <chartPainter/chartPainter.h>
#endif
#ifdef HAVE_TEXTUTIL
#include <textUtil/textUtil.h>
#endif
#ifdef HAVE_LINEINPUT
#include <lineInput/lineInput.h>
#endif
#ifdef HAVE_CLIENT
#include <client/client.h>
#endif

int main() {
    int failures = 0;
#ifdef HAVE_IMGFILE
    image_desc desc{};
    if (mallocImage(&desc, 30, 20) != 600) ++failures;
    freeImage(&desc);
#endif
#ifdef HAVE_BANKLIST
    printListImage(nullptr);
#endif
#ifdef HAVE_TEXTUTIL
    if (startswith("envoie", "envoie\n") != 1) ++failures;
    if (calculBgr("bgr") != 111) ++failures;
#endif
#ifdef HAVE_LINEINPUT
    char text[] = "  ab  ";
    if (std::strcmp(delSpaceBeforeEnd(text), "ab") != 0) ++failures;
#endif
#ifdef HAVE_CHARTPAINTER
    void (*chart)(int *) = drawHis_threeRect;
    if (chart == nullptr) ++failures;
#endif
#ifdef HAVE_CLIENT
    void (*header)(int, const char *) = write_header;
    if (header == nullptr) ++failures;
#endif
    std::printf("consumer: %d failures\n", failures);
    return failures == 0 ? EXIT_SUCCESS : EXIT_FAILURE;
}
