// nerolin-cacard-card DATABASE PORT NICKNAME
//
// A CAC smart card that OpenSC's PKCS#11 module can sign with, in vpcd's
// first virtual reader: libcacard (Debian's libcacard0) emulates the card
// over an NSS database that holds the certificate NICKNAME and its key, and
// this program carries the card's APDUs between libcacard and vpcd's socket
// on 127.0.0.1:PORT. The card's PIN is the database's password (at most 8
// characters, as the card pads it to 8 bytes). libcacard's card keeps RSA
// keys only.
//
// vpcd's protocol: each message is a 2-byte big-endian length and its bytes.
// A single byte is a control (0 power off, 1 power on, 2 reset, 4 the ATR,
// which vpcd asks for again and again to see the card is there); anything
// longer is an APDU, answered with the card's response.

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

#include <libcacard.h>

namespace {

bool ReadExactly(int fd, unsigned char* data, std::size_t size)
{
    std::size_t done = 0;
    while (done < size) {
        // vpcd sends length and payload in two writes without TCP_NODELAY:
        // acknowledging at once saves the delayed-ACK wait on every APDU.
        const int one = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_QUICKACK, &one, sizeof one);
        const ssize_t got = recv(fd, data + done, size - done, 0);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        done += static_cast<std::size_t>(got);
    }
    return true;
}

bool Send(int fd, const unsigned char* data, std::size_t size)
{
    std::vector<unsigned char> message{static_cast<unsigned char>(size >> 8), static_cast<unsigned char>(size)};
    message.insert(message.end(), data, data + size);
    std::size_t done = 0;
    while (done < message.size()) {
        const ssize_t sent = send(fd, message.data() + done, message.size() - done, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) continue;
        if (sent <= 0) return false;
        done += static_cast<std::size_t>(sent);
    }
    return true;
}

// vpcd listens once pcscd has loaded it: try for a while.
int ConnectToVpcd(const char* port)
{
    for (int attempt = 0; attempt < 200; ++attempt) {
        addrinfo hints{};
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* found = nullptr;
        if (getaddrinfo("127.0.0.1", port, &hints, &found) == 0) {
            const int fd = socket(found->ai_family, found->ai_socktype, found->ai_protocol);
            const bool connected = fd >= 0 && connect(fd, found->ai_addr, found->ai_addrlen) == 0;
            freeaddrinfo(found);
            if (connected) {
                const int one = 1;
                setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
                return fd;
            }
            if (fd >= 0) close(fd);
        }
        usleep(50000);
    }
    return -1;
}

// Answers vpcd until it goes away.
void Serve(int fd, VReader* reader)
{
    std::vector<unsigned char> request(65536);
    std::vector<unsigned char> response(65536 + 2);
    for (;;) {
        unsigned char header[2];
        if (!ReadExactly(fd, header, 2)) return;
        const std::size_t length = static_cast<std::size_t>(header[0]) << 8 | header[1];
        if (!ReadExactly(fd, request.data(), length)) return;
        int size = static_cast<int>(response.size());
        if (length == 1) {
            if (request[0] == 0 || request[0] == 2) vreader_power_off(reader);
            if (request[0] == 1 || request[0] == 2) vreader_power_on(reader, response.data(), &size);
            // Not a power cycle: that would log the card out between APDUs.
            if (request[0] == 4) {
                vcard_emul_get_atr(nullptr, response.data(), &size);
                if (!Send(fd, response.data(), static_cast<std::size_t>(size))) return;
            }
            continue;
        }
        if (vreader_xfr_bytes(reader, request.data(), static_cast<int>(length), response.data(), &size) != VREADER_OK) {
            response[0] = 0x6F;  // no precise diagnosis
            response[1] = 0x00;
            size = 2;
        }
        if (!Send(fd, response.data(), static_cast<std::size_t>(size))) return;
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: nerolin-cacard-card DATABASE PORT NICKNAME\n");
        return 2;
    }
    // soft=(slot name, reader name, card type, type parameters, certificates)
    const std::string options =
        std::string("db=\"sql:") + argv[1] + "\" use_hw=no soft=(,NerolinCard,CAC,," + argv[3] + ")";
    VCardEmulOptions* emulation = vcard_emul_options(options.c_str());
    if (!emulation || vcard_emul_init(emulation) != VCARD_EMUL_OK) {
        std::fprintf(stderr, "nerolin-cacard-card: libcacard does not start with %s\n", options.c_str());
        return 1;
    }
    VReader* reader = vreader_get_reader_by_name("NerolinCard");
    if (!reader || vreader_card_is_present(reader) != VREADER_OK) {
        std::fprintf(stderr, "nerolin-cacard-card: no card (is %s in the database?)\n", argv[3]);
        return 1;
    }
    const int fd = ConnectToVpcd(argv[2]);
    if (fd < 0) {
        std::fprintf(stderr, "nerolin-cacard-card: vpcd does not listen on port %s\n", argv[2]);
        return 1;
    }

    Serve(fd, reader);
    close(fd);
    vreader_free(reader);
    return 0;
}
