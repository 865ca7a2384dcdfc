#include "platform/DataProtection.h"

#include <windows.h>

#include <dpapi.h>

#include <gtest/gtest.h>

namespace nerolin {
namespace {

// Blobs are DPAPI's own: what Protect makes, CryptUnprotectData opens with
// the scope's flag, and what DPAPI made, Unprotect opens.
TEST(DataProtection, BlobsAreThoseOfTheSystemsDataProtection)
{
    const Bytes clear{'p', 0x00, 0xFF, 'w', 0};
    for (const Scope scope : {Scope::User, Scope::Machine}) {
        SCOPED_TRACE(scope == Scope::User ? "user" : "machine");
        const DWORD flags = scope == Scope::Machine ? CRYPTPROTECT_LOCAL_MACHINE : 0;
        const std::optional<Bytes> blob = Protect(scope, clear);
        ASSERT_TRUE(blob);
        EXPECT_NE(*blob, clear);
        // A fresh salt each time: the same secret never gives the same bytes.
        EXPECT_NE(Protect(scope, clear), blob);

        DATA_BLOB in{static_cast<DWORD>(blob->size()), const_cast<BYTE*>(blob->data())};
        DATA_BLOB out{};
        ASSERT_TRUE(CryptUnprotectData(&in, nullptr, nullptr, nullptr, nullptr, flags, &out));
        EXPECT_EQ(Bytes(out.pbData, out.pbData + out.cbData), clear);
        LocalFree(out.pbData);

        DATA_BLOB plain{static_cast<DWORD>(clear.size()), const_cast<BYTE*>(clear.data())};
        DATA_BLOB made{};
        ASSERT_TRUE(CryptProtectData(&plain, nullptr, nullptr, nullptr, nullptr, flags, &made));
        EXPECT_EQ(Unprotect(scope, Bytes(made.pbData, made.pbData + made.cbData)), clear);
        LocalFree(made.pbData);
    }
}

TEST(DataProtection, DamagedOrEmptyBlobsDoNotOpen)
{
    const std::optional<Bytes> blob = Protect(Scope::User, Bytes{'s', 'e', 'c', 'r', 'e', 't', 0});
    ASSERT_TRUE(blob);
    // The first byte (the version) and the last (the signature); Wine checks
    // less of the blob than Windows does in between.
    for (std::size_t at : {std::size_t{0}, blob->size() - 1}) {
        Bytes damaged = *blob;
        damaged[at] ^= 0x40;
        EXPECT_EQ(Unprotect(Scope::User, damaged), std::nullopt) << at;
    }
    EXPECT_EQ(Unprotect(Scope::User, Bytes(blob->begin(), blob->end() - 1)), std::nullopt);
    EXPECT_EQ(Unprotect(Scope::User, {}), std::nullopt);
    EXPECT_EQ(Unprotect(Scope::Machine, {}), std::nullopt);
}

}  // namespace
}  // namespace nerolin
