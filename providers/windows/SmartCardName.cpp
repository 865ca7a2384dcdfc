#include "providers/SmartCardName.h"

#include <windows.h>
#include <winscard.h>

#include <algorithm>
#include <cwchar>
#include <stdexcept>
#include <system_error>

#include "platform/AnsiCodePage.h"

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
    CardConnection(const CardContext& context, const std::wstring& reader)
    {
        DWORD protocol = 0;
        ok_ = SCardConnectW(context.get(), reader.c_str(), SCARD_SHARE_SHARED, SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1,
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

// A buffer the smart-card service allocated (SCARD_AUTOALLOCATE).
template <typename T>
class ServiceMemory {
public:
    explicit ServiceMemory(SCARDCONTEXT context) : context_(context) {}
    ~ServiceMemory()
    {
        if (data_) SCardFreeMemory(context_, data_);
    }
    ServiceMemory(const ServiceMemory&) = delete;
    ServiceMemory& operator=(const ServiceMemory&) = delete;
    // What the calls take in place of a buffer: the address of the pointer.
    T* receiver() { return reinterpret_cast<T*>(&data_); }
    T* data() const { return data_; }

private:
    SCARDCONTEXT context_;
    T* data_ = nullptr;
};

std::u16string AsUtf16(const wchar_t* text) { return std::u16string(reinterpret_cast<const char16_t*>(text)); }

std::string Ansi(const std::u16string& wide)
{
    std::string ansi;
    try {
        WideToAnsi(wide.c_str(), ansi);
    } catch (const std::system_error&) {
        return {};
    }
    return ansi;
}

std::wstring WideReader(const std::string& reader)
{
    std::u16string wide;
    try {
        if (!AnsiToWide(reader.c_str(), wide)) return {};
    } catch (const std::system_error&) {
        return {};
    }
    return std::wstring(wide.begin(), wide.end());
}

}  // namespace

std::optional<std::vector<std::string>> ListReaders()
{
    CardContext context;
    if (!context.ok()) return std::nullopt;
    ServiceMemory<wchar_t> list(context.get());
    DWORD length = SCARD_AUTOALLOCATE;
    const LONG listed = SCardListReadersW(context.get(), nullptr, list.receiver(), &length);
    std::vector<std::string> readers;
    if (listed == SCARD_E_NO_READERS_AVAILABLE) return readers;
    if (listed != SCARD_S_SUCCESS || !list.data()) return std::nullopt;
    for (const wchar_t* name = list.data(); *name; name += std::wcslen(name) + 1)
        readers.push_back(Ansi(AsUtf16(name)));
    return readers;
}

Bytes ReadCardAtr(const std::string& reader)
{
    CardContext context;
    if (!context.ok()) return {};
    const std::wstring wide = WideReader(reader);
    if (wide.empty()) return {};
    CardConnection card(context, wide);
    if (!card.ok()) return {};
    ServiceMemory<BYTE> atr(context.get());
    DWORD length = SCARD_AUTOALLOCATE;
    if (SCardGetAttrib(card.get(), SCARD_ATTR_ATR_STRING, atr.receiver(), &length) != SCARD_S_SUCCESS || !atr.data())
        return {};
    return Bytes(atr.data(), atr.data() + std::min<DWORD>(length, 64));
}

std::string RegisteredCardNames(const Bytes& atr)
{
    ServiceMemory<wchar_t> list(0);
    DWORD length = SCARD_AUTOALLOCATE;
    if (SCardListCardsW(0, atr.data(), nullptr, 0, list.receiver(), &length) != SCARD_S_SUCCESS || !list.data())
        return {};
    std::string names;
    // A multi-string: names each ended by a NUL, and an empty one at the end.
    for (const wchar_t* name = list.data(); *name; name += std::wcslen(name) + 1) names += Ansi(AsUtf16(name));
    return names;
}

}  // namespace nerolin
