// The chat server: accepts one client, then holds the conversation of its library.
#include <unistd.h>

#include <array>
#include <cerrno>
#include <climits>  // IWYU pragma: keep (HOST_NAME_MAX)
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "chatWire/chatWire.h"
#include "cmdline/cmdline.h"
#include "fdio/fdio.h"
#include "server/conversation.h"
#include "server/messages.h"
#include "stdstreams/stdstreams.h"

int main(int argc, char **argv) try {
    stdstreams::openMissing();
    if (const auto status = cmdline::standardOption(
            argc, argv, {"server", server_msg::kUsage, server_msg::kDescription}))
        return *status;
    const std::optional<std::uint16_t> port =
        argc == 2 ? chatWire::portFromText(argv[1]) : std::nullopt;
    if (!port) {
        std::fprintf(stderr, server_msg::kUsage, argv[0]);
        return EXIT_FAILURE;
    }
    if (*port == chatWire::kTalkPort) {
        // The service port can never be the talk port: say it as a taken port says it.
        errno = EADDRINUSE;
        std::perror(server_msg::kBind);
        return EXIT_FAILURE;
    }
    chatWire::prepareChatProcess();

    std::array<char, HOST_NAME_MAX + 1> host{};
    if (::gethostname(host.data(), host.size()) != 0) {
        std::perror(server_msg::kHostName);
        return EXIT_FAILURE;
    }
    host.back() = '\0';

    server_detail::PeerAddress client;
    fdio::Fd service = server_detail::acceptOne(*port, nullptr, &client, stderr);
    if (!service) return EXIT_FAILURE;
    std::printf(server_msg::kServiceUp, server_detail::userName(), static_cast<int>(::geteuid()),
                host.data());
    // The talk connection belongs to whoever holds the service connection, and nobody is
    // waited for once that client has left.
    fdio::Fd talk =
        server_detail::acceptOne(chatWire::kTalkPort, &client, &client, stderr, service.get());
    if (!talk) return EXIT_FAILURE;
    std::printf(server_msg::kTalkUp, host.data());

    const int status =
        server_detail::converse({service.get(), talk.get(), STDIN_FILENO, stdout, stderr});
    stdstreams::flush();  // everything shown before the client sees the connections close
    service.reset();
    talk.reset();
    return stdstreams::finish("server", status);
} catch (...) {
    return stdstreams::escaped("server");
}
