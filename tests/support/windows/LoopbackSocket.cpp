#include "tests/support/LoopbackSocket.h"

#include <winsock2.h>
#include <ws2tcpip.h>

namespace nerolin::test {
namespace {

SOCKET NewSocket()
{
    // Winsock counts its users; one more start for the tests' own sockets.
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started ? socket(AF_INET, SOCK_STREAM, 0) : INVALID_SOCKET;
}

sockaddr_in Loopback(int port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    return address;
}

}  // namespace

LoopbackSocket::LoopbackSocket() : handle_(static_cast<std::intptr_t>(NewSocket())) {}

LoopbackSocket::~LoopbackSocket()
{
    if (Open()) closesocket(static_cast<SOCKET>(handle_));
}

bool LoopbackSocket::Open() const { return static_cast<SOCKET>(handle_) != INVALID_SOCKET; }

bool LoopbackSocket::Bind(int port)
{
    const sockaddr_in address = Loopback(port);
    return bind(static_cast<SOCKET>(handle_), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

bool LoopbackSocket::Listen(int backlog) { return listen(static_cast<SOCKET>(handle_), backlog) == 0; }

bool LoopbackSocket::Connect(int port)
{
    const sockaddr_in address = Loopback(port);
    return connect(static_cast<SOCKET>(handle_), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

int LoopbackSocket::Port() const
{
    sockaddr_in address{};
    int length = sizeof address;
    if (getsockname(static_cast<SOCKET>(handle_), reinterpret_cast<sockaddr*>(&address), &length) != 0) return 0;
    return ntohs(address.sin_port);
}

}  // namespace nerolin::test
