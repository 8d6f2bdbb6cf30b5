// The test link: a veth pair between this process's network and a namespace of its own.
#include "tests/support/vethLink.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>
#include <vector>

#include "chatWire/chatWire.h"
#include "tests/support/process.h"

namespace tgatest {

namespace {

std::string ipProgram() {
    for (const char *path : {"/usr/sbin/ip", "/sbin/ip", "/usr/bin/ip", "/bin/ip"})
        if (::access(path, X_OK) == 0) return path;
    return {};
}

std::vector<std::string> words(const std::string &text) {
    std::vector<std::string> list;
    std::size_t at = 0;
    while ((at = text.find_first_not_of(' ', at)) != std::string::npos) {
        const std::size_t end = text.find(' ', at);
        list.push_back(text.substr(at, end - at));
        at = end;
    }
    return list;
}

}  // namespace

std::unique_ptr<VethLink> VethLink::make(std::string &why) {
    if (::geteuid() != 0) {
        why = "making network namespaces and a veth pair needs root";
        return nullptr;
    }
    if (ipProgram().empty()) {
        why = "the ip program (iproute2) is missing";
        return nullptr;
    }
    std::unique_ptr<VethLink> link{new VethLink};
    link->near_ = fdio::Fd{::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC)};
    if (!link->near_ || ::unshare(CLONE_NEWNET) != 0) {
        why = "network namespaces are not available here";
        return nullptr;
    }
    link->far_ = fdio::Fd{::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC)};
    if (::setns(link->near_.get(), CLONE_NEWNET) != 0)
        throw std::runtime_error("VethLink: cannot go back to the test's network");
    if (!link->far_) {
        why = "the new network namespace cannot be held";
        return nullptr;
    }
    const std::string farPath =
        "/proc/" + std::to_string(::getpid()) + "/fd/" + std::to_string(link->far_.get());
    std::string err;
    if (!link->ip("link add tgknear type veth peer name tgkfar netns " + farPath, false, &err)) {
        why = "no veth pair: " + err;
        return nullptr;
    }
    const bool up = link->ip(std::string("addr add ") + kNear + "/24 dev tgknear", false) &&
                    link->ip("link set tgknear up", false) &&
                    link->ip(std::string("addr add ") + kFar + "/24 dev tgkfar", true) &&
                    link->ip("link set tgkfar up", true) && link->ip("link set lo up", true);
    if (!up) throw std::runtime_error("VethLink: the pair cannot be set up");
    return link;
}

VethLink::~VethLink() {
    // The near end goes with its peer when the far namespace, its last holder, is gone.
    if (near_) static_cast<void>(ip("link del tgknear", false));
}

void VethLink::enterFar() const {
    if (::setns(far_.get(), CLONE_NEWNET) != 0)
        throw std::runtime_error("VethLink: cannot enter the far network namespace");
}

void VethLink::leaveFar() const noexcept {
    // Sockets made later would land in the wrong network, and tests would pass for wrong.
    if (::setns(near_.get(), CLONE_NEWNET) != 0) std::abort();
}

VethLink::Connection VethLink::connect(std::uint16_t port) {
    in_addr far{};
    ::inet_pton(AF_INET, kFar, &far);
    const sockaddr_in addr = chatWire::ipv4Address(far, port);
    const fdio::Fd listener = inFar([&] {
        fdio::Fd s{::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)};
        if (::bind(s.get(), reinterpret_cast<const sockaddr *>(&addr), sizeof addr) != 0 ||
            ::listen(s.get(), 1) != 0)
            s.reset();
        return s;
    });
    Connection c;
    c.near = fdio::Fd{::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)};
    if (!listener ||
        ::connect(c.near.get(), reinterpret_cast<const sockaddr *>(&addr), sizeof addr) != 0)
        return Connection();
    pollfd p{listener.get(), POLLIN, 0};
    if (::poll(&p, 1, 5000) == 1)
        c.far = fdio::Fd{::accept4(listener.get(), nullptr, nullptr, SOCK_CLOEXEC)};
    if (!c.far) return Connection();
    return c;
}

bool VethLink::cut() {
    return ip("link set tgkfar down", true);
}

bool VethLink::ip(const std::string &args, bool far, std::string *err) {
    std::vector<std::string> argv{ipProgram()};
    for (auto &w : words(args))
        argv.push_back(std::move(w));
    RunResult r;
    if (far)
        r = inFar([&] { return run(argv, {"", {}, 10000ms}); });
    else
        r = run(argv, {"", {}, 10000ms});
    if (err != nullptr) *err = r.err;
    return r.exitCode == 0;
}

}  // namespace tgatest
