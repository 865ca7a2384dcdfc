#pragma once

// A TCP socket on 127.0.0.1, the little of it that the tests' port helpers
// need, over each system's socket calls (linux/, windows/).

#include <cstdint>

namespace nerolin::test {

class LoopbackSocket {
public:
    // Open() is false when the system gave no socket.
    LoopbackSocket();
    ~LoopbackSocket();
    LoopbackSocket(const LoopbackSocket&) = delete;
    LoopbackSocket& operator=(const LoopbackSocket&) = delete;

    bool Open() const;
    // Port 0: one the system chooses.
    bool Bind(int port);
    bool Listen(int backlog);
    bool Connect(int port);
    // The port the socket is bound to; 0 when it cannot be told.
    int Port() const;

private:
    std::intptr_t handle_;
};

}  // namespace nerolin::test
