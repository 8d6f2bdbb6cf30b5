// A link the test can cut: this process's private network and a second network namespace,
// joined by a veth pair. Taking the far end down drops every packet without FIN or RST, as a
// pulled cable does.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <future>
#include <memory>
#include <string>

#include "fdio/fdio.h"

namespace tgatest {

class VethLink {
  public:
    // The near end, in this process's network, and the far end, in the new namespace.
    static constexpr char kNear[] = "10.87.0.1";
    static constexpr char kFar[] = "10.87.0.2";

    // Makes the far namespace and the pair. Needs root and a private network (see
    // enterPrivateNetwork); null with the reason in `why` when it cannot be made here.
    static std::unique_ptr<VethLink> make(std::string &why);
    // The far namespace goes, and the pair with it.
    ~VethLink();
    VethLink(const VethLink &) = delete;
    VethLink &operator=(const VethLink &) = delete;

    // Runs fn() with the calling thread in the far namespace: sockets it makes live there.
    template <class Fn>
    auto inFar(Fn &&fn) {
        enterFar();
        struct Back {
            const VethLink *link;
            ~Back() { link->leaveFar(); }
        } back{this};
        return fn();
    }

    // A TCP connection across the link, made on `port`: `near` in this network, `far` in the
    // far namespace. Both invalid when it could not be made.
    struct Connection {
        fdio::Fd near, far;
    };
    Connection connect(std::uint16_t port);

    // Takes the far end down; false when `ip` failed.
    bool cut();

  private:
    VethLink() = default;
    void enterFar() const;           // throws when it cannot
    void leaveFar() const noexcept;  // a thread that cannot go back ends the test binary
    // Runs `ip` with `args` (the far namespace when `far`); its standard error, empty if none,
    // in `err`; false when it failed.
    bool ip(const std::string &args, bool far, std::string *err = nullptr);

    fdio::Fd near_, far_;  // the two namespaces, held open
};

// The conversation `run` goes on through probe rounds while the link is idle and the far side
// answers, then ends once `link` is cut. Call inside ASSERT_NO_FATAL_FAILURE.
template <class Result>
void expectOnlyTheCutNoticed(std::future<Result> &run, VethLink &link) {
    using namespace std::chrono_literals;
    EXPECT_EQ(run.wait_for(4s), std::future_status::timeout);
    ASSERT_TRUE(link.cut());
    ASSERT_EQ(run.wait_for(15s), std::future_status::ready);
}

}  // namespace tgatest
