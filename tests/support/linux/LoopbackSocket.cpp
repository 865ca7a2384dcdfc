#include "tests/support/LoopbackSocket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace nerolin::test {
namespace {

sockaddr_in Loopback(int port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    return address;
}

}  // namespace

LoopbackSocket::LoopbackSocket() : handle_(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {}

LoopbackSocket::~LoopbackSocket()
{
    if (Open()) close(static_cast<int>(handle_));
}

bool LoopbackSocket::Open() const { return handle_ >= 0; }

bool LoopbackSocket::Bind(int port)
{
    const sockaddr_in address = Loopback(port);
    return bind(static_cast<int>(handle_), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

bool LoopbackSocket::Listen(int backlog) { return listen(static_cast<int>(handle_), backlog) == 0; }

bool LoopbackSocket::Connect(int port)
{
    const sockaddr_in address = Loopback(port);
    return connect(static_cast<int>(handle_), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

int LoopbackSocket::Port() const
{
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (getsockname(static_cast<int>(handle_), reinterpret_cast<sockaddr*>(&address), &length) != 0) return 0;
    return ntohs(address.sin_port);
}

}  // namespace nerolin::test
