#pragma once

// Ports of 127.0.0.1 for programs that cannot be told to pick their own.

#include "tests/support/LoopbackSocket.h"

namespace nerolin::test {

// A port nobody listens on now (the kernel's choice of an ephemeral one).
// Another process may take it before the caller does: callers retry.
int FreePort();

// Whether something accepts connections on the port now.
bool Accepts(int port);

// A socket on 127.0.0.1 that listens and never answers: the system
// completes TCP, nothing more happens. Port() is 0 when it could not listen.
class SilentListener {
public:
    SilentListener();
    SilentListener(const SilentListener&) = delete;
    SilentListener& operator=(const SilentListener&) = delete;

    int Port() const { return port_; }

private:
    LoopbackSocket socket_;
    int port_ = 0;
};

}  // namespace nerolin::test
