// Reads the ATR of a card in vpcd's virtual reader through a pcscd of the
// test's own (PrivatePcscd.h), and names the card from the machine-wide card
// database. The card is a small stand-in that speaks vpcd's socket protocol
// (2-byte big-endian length, then a one-byte control or an APDU): the Python
// emulator Debian ships does not start without extra modules, and the
// stand-in lets the test choose the ATR.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "common/Text.h"
#include "providers/SmartCardName.h"
#include "tests/providers/pcsc/PrivatePcscd.h"
#include "tests/support/MemorySettingsStore.h"

namespace nerolin::test {
namespace {

using Clock = std::chrono::steady_clock;

const Bytes kAtr{0x3B, 0x8A, 0x80, 0x01, 0x4E, 0x65, 0x72, 0x6F, 0x6C, 0x69, 0x6E, 0x20, 0x56, 0x43, 0x5F};

bool ReadExactly(int fd, std::uint8_t* data, std::size_t size, const std::atomic<bool>& stop)
{
    std::size_t done = 0;
    while (done < size && !stop) {
        pollfd ready{fd, POLLIN, 0};
        if (poll(&ready, 1, 100) <= 0) continue;
        const ssize_t got = recv(fd, data + done, size - done, 0);
        if (got <= 0) return false;
        done += static_cast<std::size_t>(got);
    }
    return done == size;
}

bool Send(int fd, const Bytes& payload)
{
    Bytes message{static_cast<std::uint8_t>(payload.size() >> 8), static_cast<std::uint8_t>(payload.size())};
    message.insert(message.end(), payload.begin(), payload.end());
    return send(fd, message.data(), message.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(message.size());
}

// The card: connects to vpcd (retrying until vpcd listens), answers GET_ATR
// with kAtr and every APDU with 6D00 (instruction not supported).
class VirtualCard {
public:
    explicit VirtualCard(unsigned short port) : thread_([this, port] { Run(port); }) {}
    ~VirtualCard()
    {
        stop_ = true;
        thread_.join();
    }
    VirtualCard(const VirtualCard&) = delete;
    VirtualCard& operator=(const VirtualCard&) = delete;
    bool Connected() const { return connected_; }

private:
    void Run(unsigned short port)
    {
        int fd = -1;
        while (!stop_) {
            fd = socket(AF_INET, SOCK_STREAM, 0);
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_port = htons(port);
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) break;
            close(fd);
            fd = -1;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        if (fd < 0) return;
        connected_ = true;
        while (!stop_) {
            std::uint8_t header[2];
            if (!ReadExactly(fd, header, 2, stop_)) break;
            Bytes request(static_cast<std::size_t>(header[0]) << 8 | header[1]);
            if (!ReadExactly(fd, request.data(), request.size(), stop_)) break;
            if (request.size() == 1) {
                // 0 power off, 1 power on, 2 reset: no answer; 4 the ATR.
                if (request[0] == 4 && !Send(fd, kAtr)) break;
            } else if (!Send(fd, {0x6D, 0x00})) {
                break;
            }
        }
        close(fd);
    }

    std::atomic<bool> stop_{false};
    std::atomic<bool> connected_{false};
    std::thread thread_;
};

TEST(VirtualReaderTest, ReadsTheCardsAtrAndNamesItFromTheMachineDatabase)
{
    PrivatePcscd pcscd;
    if (!pcscd.Unavailable().empty()) GTEST_SKIP() << pcscd.Unavailable();

    const std::string atrHex = HexEncode(kAtr);
    auto settings = InstallMemorySettingsStore();
    settings->Set(Scope::Machine, "SmartCards", "Card1",
                  atrHex + " " + std::string(atrHex.size(), 'F') + " Nerolin Virtual Card");
    for (const char* name : {"HOME", "XDG_CONFIG_HOME"}) setenv(name, pcscd.folder().c_str(), 1);
    ASSERT_TRUE(pcscd.Start()) << pcscd.Log();
    VirtualCard card(pcscd.port());

    Bytes atr;
    const auto deadline = Clock::now() + std::chrono::seconds(15);
    while (atr.empty() && Clock::now() < deadline && !pcscd.Exited()) {
        atr = ReadCardAtr(PrivatePcscd::kReader);
        if (atr.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    const auto readers = ListReaders();
    std::string seen = readers ? std::to_string(readers->size()) + " reader(s):" : std::string("no PC/SC service");
    if (readers)
        for (const std::string& reader : *readers) seen += " [" + reader + "]";
    ASSERT_EQ(HexEncode(atr), atrHex) << "card connected: " << card.Connected() << "; " << seen << "\npcscd log:\n"
                                      << pcscd.Log();

    EXPECT_EQ(GetCardName(PrivatePcscd::kReader), "Nerolin Virtual Card");
    EXPECT_EQ(GetCardName(PrivatePcscd::kSecondReader), "");  // no card in it
}

}  // namespace
}  // namespace nerolin::test
