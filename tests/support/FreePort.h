#pragma once

// Ports of 127.0.0.1 for programs that cannot be told to pick their own.

namespace nerolin::test {

// A port nobody listens on now (the kernel's choice of an ephemeral one).
// Another process may take it before the caller does: callers retry.
int FreePort();

// Whether something accepts connections on the port now.
bool Accepts(int port);

}  // namespace nerolin::test
