// Loses a block on purpose. Run as a test of the sanitizer build, it passes only when
// LeakSanitizer reports the loss, i.e. when leak checking really is on for the test suite.
#include <cstdlib>
#include <cstring>

namespace {

void *volatile lost = nullptr;

// Out of line, so no copy of the pointer stays in main's frame where the leak scan would
// take it for a live reference.
[[gnu::noinline]] void loseABlock() {
    lost = std::malloc(123);
    std::memset(lost, 0x5A, 123);
    lost = nullptr;
}

}  // namespace

int main() {
    loseABlock();
    return 0;
}
