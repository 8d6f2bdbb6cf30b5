// Internal to the client (not installed): receiving an image, with the link watched during the
// transfer, and keeping what arrived when a signal ends the client.
#pragma once

#include <cstdio>
#include <functional>

namespace client_detail {

// A descriptor watched besides the service connection while an image is awaited, and what
// takes what arrives on it (false: watch it no more).
struct Watch {
    int fd = -1;
    std::function<bool()> take;
};

// recv_img, printing on `out` and `err`, taking what arrives on `also` while it waits.
void receiveImage(int sock, int size, std::FILE *out, std::FILE *err, const Watch &also = {});

// Installs the client's handlers for the signals after which a program cleans up and dies
// (fileio::forEachCleanUpSignal), those at their default action at start: during an image
// transfer, the bytes that have arrived are kept as "output/testsortie.tga.part", as when the
// transfer is cut, and nothing else is left; then, as at any other time, the client dies of
// the signal. Call once at the start of main.
void keepPartOnSignals();

}  // namespace client_detail
