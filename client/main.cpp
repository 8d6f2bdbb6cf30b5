// The chat client: connects to a server, then holds the conversation of its library.
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <utility>
#include <vector>

#include "chatWire/chatWire.h"
#include "client/client.h"
#include "client/conversation.h"
#include "client/messages.h"
#include "client/transfers.h"
#include "cmdline/cmdline.h"
#include "fdio/fdio.h"
#include "stdstreams/stdstreams.h"

namespace {

int fail(const char *text) {
    std::fflush(stdout);
    std::fputs(text, stderr);
    return EXIT_FAILURE;
}

}  // namespace

int main(int argc, char **argv) try {
    stdstreams::openMissing();
    if (const auto status = cmdline::standardOption(
            argc, argv, {"client", client_msg::kUsage, client_msg::kDescription}))
        return *status;
    // The user name is taken as it is, even when it starts with '-'.
    const std::optional<std::uint16_t> port =
        argc == 4 ? chatWire::portFromText(argv[2]) : std::nullopt;
    if (!port) {
        std::fprintf(stderr, client_msg::kUsage, argv[0]);
        return EXIT_FAILURE;
    }
    chatWire::prepareChatProcess();
    client_detail::keepPartOnSignals();

    fdio::Fd first{::socket(AF_INET, SOCK_STREAM, 0)};
    if (!first) return fail(client_msg::kSocket);
    const std::vector<client_detail::HostAddress> addresses =
        client_detail::lookUpHost(argv[1], stderr);
    if (addresses.empty()) return EXIT_FAILURE;
    std::printf(client_msg::kUser, argv[3], static_cast<int>(::geteuid()), argv[1]);

    client_detail::HostAddress server;
    fdio::Fd service = client_detail::connectService(addresses, *port, std::move(first), &server);
    if (!service) return fail(client_msg::kConnect);
    // The talk connection goes to the address that accepted the service connection.
    fdio::Fd talk = client_detail::connectTalk(server, stderr);
    if (!talk) return EXIT_FAILURE;
    std::printf(client_msg::kTalkUp);
    write_header(talk.get(), argv[3]);

    const int status =
        client_detail::converse({service.get(), talk.get(), STDIN_FILENO, stdout, stderr});
    stdstreams::flush();  // everything shown before the server sees the connections close
    service.reset();
    talk.reset();
    return stdstreams::finish("client", status);
} catch (...) {
    return stdstreams::escaped("client");
}
