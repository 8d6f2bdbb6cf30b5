// The chat client's handling of the signals that end it. Internal: not installed.
#pragma once

namespace client_detail {

// Installs the client's handlers for SIGINT, SIGTERM and SIGHUP (those not ignored at start):
// during an image transfer, the bytes that have arrived are kept as "output/testsortie.tga.part",
// as when the transfer is cut, and nothing else is left; then, as at any other time, the client
// dies of the signal. Call once at the start of main.
void keepPartOnSignals();

}  // namespace client_detail
