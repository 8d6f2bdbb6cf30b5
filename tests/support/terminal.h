// A pseudo-terminal for tests of what programs show on a terminal: the slave end stands for
// the operator's terminal, the test reads what reached it from the master end.
#pragma once

#include <string>
#include <string_view>

#include "netio/netio.h"
#include "tests/support/process.h"

namespace tgatest {

class Terminal {
  public:
    // Opens a pseudo-terminal in raw mode, so bytes pass unchanged (no "\r\n" for "\n").
    // Throws when the system has none to give.
    Terminal();

    int slave() const { return slave_.get(); }
    // Waits until what reached the terminal holds `text`; false when the time ran out.
    bool waitFor(std::string_view text, Ms limit = 5000ms);
    // Everything that reached the terminal so far.
    const std::string &shown();

  private:
    bool take(Ms limit);  // false when nothing came within `limit`

    netio::Fd master_, slave_;
    std::string shown_;
};

}  // namespace tgatest
