#include "providers/SmartCardName.h"

#include <PCSC/winscard.h>

#include <algorithm>

namespace nerolin {
namespace {

class CardContext {
public:
    CardContext() { ok_ = SCardEstablishContext(SCARD_SCOPE_USER, nullptr, nullptr, &context_) == SCARD_S_SUCCESS; }
    ~CardContext()
    {
        if (ok_) SCardReleaseContext(context_);
    }
    CardContext(const CardContext&) = delete;
    CardContext& operator=(const CardContext&) = delete;
    bool ok() const { return ok_; }
    SCARDCONTEXT get() const { return context_; }

private:
    SCARDCONTEXT context_ = 0;
    bool ok_ = false;
};

class CardConnection {
public:
    CardConnection(const CardContext& context, const std::string& reader)
    {
        DWORD protocol = 0;
        ok_ = SCardConnect(context.get(), reader.c_str(), SCARD_SHARE_SHARED, SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1,
                           &card_, &protocol) == SCARD_S_SUCCESS;
    }
    ~CardConnection()
    {
        if (ok_) SCardDisconnect(card_, SCARD_LEAVE_CARD);
    }
    CardConnection(const CardConnection&) = delete;
    CardConnection& operator=(const CardConnection&) = delete;
    bool ok() const { return ok_; }
    SCARDHANDLE get() const { return card_; }

private:
    SCARDHANDLE card_ = 0;
    bool ok_ = false;
};

}  // namespace

std::optional<std::vector<std::string>> ListReaders()
{
    CardContext context;
    if (!context.ok()) return std::nullopt;
    DWORD length = 0;
    const LONG sized = SCardListReaders(context.get(), nullptr, nullptr, &length);
    std::vector<std::string> readers;
    if (sized == SCARD_E_NO_READERS_AVAILABLE) return readers;
    if (sized != SCARD_S_SUCCESS || length == 0 || length > 65536) return std::nullopt;
    std::string buffer(length, '\0');
    if (SCardListReaders(context.get(), nullptr, buffer.data(), &length) != SCARD_S_SUCCESS) return std::nullopt;
    buffer.resize(std::min<std::size_t>(length, buffer.size()));
    for (std::size_t start = 0; start < buffer.size() && buffer[start];) {
        const std::size_t end = buffer.find('\0', start);
        readers.push_back(buffer.substr(start, end - start));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return readers;
}

Bytes ReadCardAtr(const std::string& reader)
{
    CardContext context;
    if (!context.ok()) return {};
    CardConnection card(context, reader);
    if (!card.ok()) return {};

    char name[MAX_READERNAME];
    DWORD nameLength = sizeof name;
    DWORD state = 0;
    DWORD protocol = 0;
    BYTE atr[MAX_ATR_SIZE];
    DWORD atrLength = sizeof atr;
    if (SCardStatus(card.get(), name, &nameLength, &state, &protocol, atr, &atrLength) != SCARD_S_SUCCESS) return {};
    return Bytes(atr, atr + std::min<DWORD>(atrLength, sizeof atr));
}

std::string RegisteredCardNames(const Bytes&) { return {}; }

}  // namespace nerolin
