#include "tests/providers/nss/NssTestSupport.h"

#include <dlfcn.h>
#include <sys/wait.h>

#include <cstdio>

#include <cstdlib>
#include <filesystem>
#include <utility>

#include <pkcs11.h>

#include "common/OpenSslOwners.h"
#include "common/UserPrompts.h"
#include "eventlog/EventLog.h"
#include "eventlog/EventStore.h"
#include "providers/linux/NssRuntime.h"
#include "tests/support/P11KitConfig.h"

namespace nerolin::test {
namespace {

std::unique_ptr<NssDatabase> gDatabase;
std::shared_ptr<RecordingPrompts> gPrompts;
std::string gFolder;
std::size_t gEntryMark = 0;
std::string gP11KitConfigError;

std::vector<StoredEntry> AllEntriesOldestFirst()
{
    FlushEventLog();  // entries reach the store through the process's writer thread
    auto store = EventStore::OpenForReading(NssTestEnvironment::EventStorePath());
    if (!store) return {};
    auto entries = store->ReadNewestFirst("Nerolin");
    return {entries.rbegin(), entries.rend()};
}

}  // namespace

void NssTestEnvironment::SetUp()
{
    char pattern[] = "/tmp/nerolin-nss-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    gFolder = pattern;
    for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME", "XDG_RUNTIME_DIR"})
        setenv(name, gFolder.c_str(), 1);
    RegisterEventSource(EventStorePath());

    gDatabase = std::make_unique<NssDatabase>(options_);
    ASSERT_TRUE(gDatabase->ok()) << gDatabase->error();
    gDatabase->ExportEnvironment();
    std::vector<std::pair<std::string, std::string>> p11KitModules;
    if (options_.registration == NssDatabaseOptions::Registration::P11KitOnly)
        p11KitModules.emplace_back("nerolin-test-token", gDatabase->moduleLibrary());
    gP11KitConfigError = UsePrivateP11KitConfig(gFolder + "/p11-kit", p11KitModules);
    gPrompts = std::make_shared<RecordingPrompts>();
    SetUserPrompts(gPrompts);
    ASSERT_TRUE(InitializeNss(gDatabase->spec()));
}

void NssTestEnvironment::TearDown()
{
    // NSS stays open until the process exits; the database folder goes with
    // the process's last step, after NSS's shutdown has closed it.
    static struct Cleanup {
        ~Cleanup()
        {
            std::error_code ignored;
            if (!gFolder.empty()) std::filesystem::remove_all(gFolder, ignored);
        }
    } cleanup;
}

NssDatabase& NssTestEnvironment::Database() { return *gDatabase; }
RecordingPrompts& NssTestEnvironment::Prompts() { return *gPrompts; }
std::string NssTestEnvironment::EventStorePath() { return gFolder + "/events.sqlite"; }
const std::string& NssTestEnvironment::P11KitConfigError() { return gP11KitConfigError; }

void StartEntries() { gEntryMark = AllEntriesOldestFirst().size(); }

std::vector<Entry> NewEntries()
{
    std::vector<Entry> entries;
    const auto all = AllEntriesOldestFirst();
    for (std::size_t i = gEntryMark; i < all.size(); ++i)
        entries.push_back({static_cast<EntryType>(all[i].type), all[i].strings.empty() ? "" : all[i].strings[0]});
    return entries;
}

std::vector<Entry> AllEntries()
{
    const std::size_t mark = std::exchange(gEntryMark, 0);
    std::vector<Entry> entries = NewEntries();
    gEntryMark = mark;
    return entries;
}

std::vector<std::string> NewEntryTexts()
{
    std::vector<std::string> texts;
    for (const auto& entry : NewEntries()) texts.push_back(entry.text);
    return texts;
}

bool HasEntry(const std::vector<Entry>& entries, EntryType type, const std::string& text)
{
    for (const auto& entry : entries)
        if (entry.type == type && entry.text == text) return true;
    return false;
}

bool HasErrorEntry(const std::vector<Entry>& entries, const std::string& call, int code)
{
    const std::string prefix = call + " error: " + std::to_string(code) + " (";
    for (const auto& entry : entries)
        if (entry.type == EntryType::Error && entry.text.rfind(prefix, 0) == 0) return true;
    return false;
}

void LogoutAllTokens() { PK11_LogoutAll(); }

unsigned long WrongPinsAtToken()
{
    void* module = dlopen(LockingModuleLibrary().c_str(), RTLD_NOW | RTLD_NOLOAD);
    auto count = module ? reinterpret_cast<unsigned long (*)()>(dlsym(module, "nerolin_locking_wrong_pins")) : nullptr;
    const unsigned long value = count ? count() : 9999;
    if (module) dlclose(module);
    return value;
}

std::vector<RecordedPrompt> PinQuestions()
{
    std::vector<RecordedPrompt> questions;
    for (const auto& prompt : NssTestEnvironment::Prompts().Recorded())
        if (prompt.kind == "pin") questions.push_back(prompt);
    return questions;
}

std::string CertificateText(const std::string& identity)
{
    return Base64Encode(CertificateDerOf(identity), Base64Format::Base64Header);
}

Bytes CertificateDerOf(const std::string& identity)
{
    return LoadCertificateDer(SigningIdentity(identity).certificateDer);
}

Bytes SampleHash(std::size_t length, unsigned seed)
{
    Bytes hash(length);
    for (std::size_t i = 0; i < length; ++i) hash[i] = static_cast<std::uint8_t>((seed * 131 + i * 7 + 1) & 0xFF);
    return hash;
}

int SessionPrivateKeys(PK11SlotInfo* slot)
{
    auto* functions = static_cast<CK_FUNCTION_LIST*>(PK11_GetModule(slot)->functionList);
    CK_SESSION_HANDLE session = 0;
    if (functions->C_OpenSession(PK11_GetSlotID(slot), CKF_SERIAL_SESSION, nullptr, nullptr, &session) != CKR_OK)
        return -1;
    CK_OBJECT_CLASS keyClass = CKO_PRIVATE_KEY;
    CK_BBOOL no = CK_FALSE;
    CK_ATTRIBUTE query[] = {{CKA_CLASS, &keyClass, sizeof keyClass}, {CKA_TOKEN, &no, sizeof no}};
    int count = 0;
    if (functions->C_FindObjectsInit(session, query, 2) == CKR_OK) {
        CK_OBJECT_HANDLE objects[16];
        CK_ULONG found = 0;
        while (functions->C_FindObjects(session, objects, 16, &found) == CKR_OK && found > 0)
            count += static_cast<int>(found);
        functions->C_FindObjectsFinal(session);
    }
    functions->C_CloseSession(session);
    return count;
}

SigningResult SignOneHash(SigningProvider& provider, const std::string& identity, unsigned seed)
{
    const Bytes hash = SampleHash(32, seed);
    std::string signedHash;
    const SigningResult result = provider.SignHash(kSha256, hash.data(), 32, signedHash);
    if (result == SigningResult::Success) {
        EXPECT_TRUE(SignatureVerifies(identity, kSha256, hash, signedHash));
    }
    return result;
}

ToolRun RunCerts(const std::string& arguments, const std::vector<std::string>& environment)
{
    std::string command = "env";
    for (const auto& word : NssTestEnvironment::Database().Environment()) command += " '" + word + "'";
    for (const auto& word : environment) command += " '" + word + "'";
    command += " " NEROLIN_BINARY_DIR "/bin/nerolin-tool certs " + arguments + " 2>&1 </dev/null";
    ToolRun run;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return run;
    char buffer[4096];
    while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) run.output.append(buffer, n);
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

}  // namespace nerolin::test
