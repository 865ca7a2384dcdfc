// Loading a PKCS#11 module and finding certificates on its tokens.

#include <algorithm>

#include "common/CertificateText.h"
#include "providers/SigningProviderPKCS11.h"
#include "tests/providers/pkcs11/Pkcs11Fixture.h"

namespace nerolin::test {
namespace {

using Pkcs11ModuleTest = Pkcs11Test;

std::string Thumbprint(const std::string& name)
{
    return CertThumbprint(LoadCertificate(SigningIdentity(name).certificatePem).get());
}

TEST_F(Pkcs11ModuleTest, MissingLibraryLogsTheLoaderFailureAndFindsNothing)
{
    SigningProviderPKCS11 provider("libnerolin-no-such-module.so");
    provider.Initialize();
    EXPECT_EQ(provider.FindCertificate(CertificateText("rsa")), SigningResult::Failed);
    provider.Finalize();

    // The entry carries the loader's own words, which name the missing file;
    // the user is not told, as signing stays with NSS.
    const std::vector<Entry> entries = events_->Entries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].type, EntryType::Error);
    EXPECT_EQ(entries[0].text.rfind("dlopen error: ", 0), 0u) << entries[0].text;
    EXPECT_NE(entries[0].text.find("libnerolin-no-such-module.so: cannot open shared object file"), std::string::npos)
        << entries[0].text;
    EXPECT_TRUE(prompts_->Messages().empty());
}

TEST_F(Pkcs11ModuleTest, LibraryWithoutFunctionListIsNotUsed)
{
    SigningProviderPKCS11 provider(NEROLIN_NOT_A_MODULE);
    provider.Initialize();
    EXPECT_EQ(provider.FindCertificate(CertificateText("rsa")), SigningResult::Failed);
    provider.Finalize();

    EXPECT_EQ(events_->Entries(),
              (std::vector<Entry>{
                  {EntryType::Information, std::string("PKCS#11 module filename: ") + NEROLIN_NOT_A_MODULE},
                  {EntryType::Error, "'C_GetFunctionList' function not found in module"},
              }));
    EXPECT_TRUE(prompts_->Messages().empty());
}

TEST_F(Pkcs11ModuleTest, BareNameResolvesThroughLibrarySearchAndFindsCertificate)
{
    MakeToken();
    SigningProviderPKCS11 provider("libbit4ipki_ds.so");
    provider.Initialize();
    ASSERT_EQ(provider.FindCertificate(CertificateText("ec")), SigningResult::Success);
    EXPECT_EQ(provider.GetKeyType(), KeyType::EC);
    provider.Finalize();

    // SoftHSM lists its objects in an order of its own; its free slot holds
    // a token that is not initialized, whose session does not open.
    std::vector<Entry> entries = events_->Entries();
    std::sort(entries.begin() + 1, entries.begin() + 3, [](const Entry& a, const Entry& b) { return a.text < b.text; });
    std::vector<std::string> added{"Certificate added to PKCS#11 certificate store: " + Thumbprint("rsa"),
                                   "Certificate added to PKCS#11 certificate store: " + Thumbprint("ec")};
    std::sort(added.begin(), added.end());
    EXPECT_EQ(entries,
              (std::vector<Entry>{
                  {EntryType::Information,
                   std::string("PKCS#11 module filename: ") + NEROLIN_TEST_LIBPATH + "/libbit4ipki_ds.so"},
                  {EntryType::Information, added[0]},
                  {EntryType::Information, added[1]},
                  {EntryType::Warning, "C_OpenSession return value: 0x000000E1"},
                  {EntryType::Information, "Finding certificate in PKCS#11 certificate store: " + Thumbprint("ec")},
                  {EntryType::Information, "Certificate found in PKCS#11 certificate store"},
              }));
}

TEST_F(Pkcs11ModuleTest, CertificateAbsentFromTokensOrUndecodableFails)
{
    MakeToken();
    SigningProviderPKCS11 provider(NEROLIN_SOFTHSM_MODULE);
    provider.Initialize();
    EXPECT_EQ(provider.FindCertificate(CertificateText("qc-esign")), SigningResult::Failed);
    EXPECT_TRUE(events_->Has(EntryType::Error, "Certificate not found in PKCS#11 certificate store"));
    EXPECT_EQ(provider.FindCertificate("not a certificate"), SigningResult::Failed);
    // Found once, the provider still reports what it found later.
    EXPECT_EQ(provider.FindCertificate(CertificateText("rsa")), SigningResult::Success);
    EXPECT_EQ(provider.GetKeyType(), KeyType::RSA);
    provider.Finalize();
    // After Finalize nothing can be searched.
    EXPECT_EQ(provider.FindCertificate(CertificateText("rsa")), SigningResult::Failed);
}

TEST_F(Pkcs11ModuleTest, AlreadyInitializedModuleIsUsedAndLeftInitialized)
{
    MakeToken();
    const std::string trace = StartTrace();
    ScopedEnvironment already("NEROLIN_SHIM_ALREADY_INITIALIZED", "1");
    {
        SigningProviderPKCS11 provider(NEROLIN_P11_SHIM);
        provider.Initialize();
        EXPECT_EQ(provider.FindCertificate(CertificateText("rsa")), SigningResult::Success);
        provider.Finalize();
    }
    // Whoever initialized the library first (NSS, in the same process) still
    // uses it: it is not finalized from under them.
    const std::vector<std::string> calls = ReadLines(trace);
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "C_Finalize"), 0);
    EXPECT_FALSE(events_->Has(EntryType::Error, "C_Initialize return value: 0x00000191"));
    FinalizeSoftHsm();
}

TEST_F(Pkcs11ModuleTest, ModuleInitializedHereIsFinalizedOnce)
{
    MakeToken();
    const std::string trace = StartTrace();
    SigningProviderPKCS11 provider(NEROLIN_P11_SHIM);
    provider.Initialize();
    EXPECT_EQ(provider.FindCertificate(CertificateText("rsa")), SigningResult::Success);
    provider.Finalize();
    provider.Finalize();
    const std::vector<std::string> calls = ReadLines(trace);
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "C_Finalize"), 1);
}

TEST_F(Pkcs11ModuleTest, SelectCertificateOffersOnlyWhatPassesTheFilter)
{
    MakeToken("--token-certs 'rsa ec expired'");
    SigningProviderPKCS11 provider(NEROLIN_SOFTHSM_MODULE);
    provider.Initialize();

    // With the validity check the expired certificate is not offered.
    // The token's own order decides the list; the choice comes back as text.
    prompts_->QueueCertificateChoice(1);
    std::string chosen;
    ASSERT_EQ(provider.SelectCertificate(true, CertificateFilter{}, chosen), SigningResult::Success);
    ASSERT_TRUE(chosen == CertificateText("ec") || chosen == CertificateText("rsa"));
    EXPECT_EQ(provider.GetKeyType(), chosen == CertificateText("ec") ? KeyType::EC : KeyType::RSA);

    // Finding a named certificate checks no validity: the expired one is there.
    EXPECT_EQ(provider.FindCertificate(CertificateText("expired")), SigningResult::Success);

    prompts_->QueueCertificateChoice(std::nullopt);
    std::string none;
    EXPECT_EQ(provider.SelectCertificate(false, CertificateFilter{}, none), SigningResult::Canceled);
    EXPECT_TRUE(none.empty());

    std::vector<std::string> offered;
    for (const RecordedPrompt& prompt : prompts_->Recorded())
        if (prompt.kind == "certificate") offered.push_back(prompt.text);
    EXPECT_EQ(offered, (std::vector<std::string>{"2", "3"}));
    provider.Finalize();
}

}  // namespace
}  // namespace nerolin::test
