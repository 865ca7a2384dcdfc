#include "tests/support/FreePort.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace nerolin::test {
namespace {

#ifdef _WIN32
using Socket = SOCKET;
constexpr Socket kNoSocket = INVALID_SOCKET;
using AddressLength = int;
void CloseSocket(Socket socket) { closesocket(socket); }
Socket OpenSocket()
{
    // Winsock counts its users; one more start for the tests' own sockets.
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started ? socket(AF_INET, SOCK_STREAM, 0) : kNoSocket;
}
#else
using Socket = int;
constexpr Socket kNoSocket = -1;
using AddressLength = socklen_t;
void CloseSocket(Socket socket) { close(socket); }
Socket OpenSocket() { return socket(AF_INET, SOCK_STREAM, 0); }
#endif

sockaddr_in Loopback(int port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    return address;
}

// The port a bound socket got; 0 when it cannot be told.
int BoundPort(Socket socket)
{
    sockaddr_in address{};
    AddressLength length = sizeof address;
    if (getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length) != 0) return 0;
    return ntohs(address.sin_port);
}

}  // namespace

int FreePort()
{
    const Socket socket = OpenSocket();
    if (socket == kNoSocket) {
        return 0;
    }
    sockaddr_in address = Loopback(0);
    int port = 0;
    if (bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        port = BoundPort(socket);
    }
    CloseSocket(socket);
    return port;
}

bool Accepts(int port)
{
    const Socket socket = OpenSocket();
    if (socket == kNoSocket) {
        return false;
    }
    sockaddr_in address = Loopback(port);
    const bool connected = connect(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    CloseSocket(socket);
    return connected;
}

SilentListener::SilentListener() : socket_(static_cast<std::intptr_t>(OpenSocket()))
{
    const auto socket = static_cast<Socket>(socket_);
    if (socket == kNoSocket) return;
    sockaddr_in address = Loopback(0);
    if (bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 && listen(socket, 4) == 0)
        port_ = BoundPort(socket);
}

SilentListener::~SilentListener()
{
    if (static_cast<Socket>(socket_) != kNoSocket) CloseSocket(static_cast<Socket>(socket_));
}

}  // namespace nerolin::test
