#include "tests/support/FreePort.h"

namespace nerolin::test {

int FreePort()
{
    LoopbackSocket socket;
    return socket.Open() && socket.Bind(0) ? socket.Port() : 0;
}

bool Accepts(int port)
{
    LoopbackSocket socket;
    return socket.Open() && socket.Connect(port);
}

SilentListener::SilentListener()
{
    if (socket_.Open() && socket_.Bind(0) && socket_.Listen(4)) port_ = socket_.Port();
}

}  // namespace nerolin::test
