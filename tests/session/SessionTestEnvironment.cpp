#include "SessionTestEnvironment.h"

#include <cstdlib>
#include <filesystem>
#include <memory>

#include <gtest/gtest.h>

#include "../support/SystemRoots.h"
#include "../support/TestPki.h"
#include "eventlog/EventLog.h"
#include "eventlog/EventStore.h"
#include "session/HttpExchange.h"
#include "tests/support/Portable.h"

namespace nerolin::test {

namespace {

std::string home;
std::shared_ptr<ScriptedPrompts> prompts;
std::shared_ptr<MemorySettingsStore> settings;

std::string EventStorePath() { return home + "/eventlog.sqlite"; }

std::vector<StoredEntry> StoredOldestFirst()
{
    FlushEventLog();  // entries reach the store through the process's writer thread
    auto store = EventStore::OpenForReading(EventStorePath());
    if (!store) {
        return {};
    }
    std::vector<StoredEntry> entries = store->ReadNewestFirst("Nerolin");
    return std::vector<StoredEntry>(entries.rbegin(), entries.rend());
}

class SessionTestEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        home = MakeUniqueFolder(std::filesystem::temp_directory_path(), "nerolin-session-");
        for (const char* variable : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME", "XDG_CACHE_HOME"}) {
            test::SetEnvironment(variable, home.c_str());
        }
        test::SetEnvironment("XDG_CONFIG_DIRS", (home + "/etc-xdg").c_str());
        TrustSystemRoots(ServiceCaFile());
        test::SetEnvironment("SSL_CERT_DIR", nullptr);
        for (const char* variable : {"http_proxy", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"}) {
            test::SetEnvironment(variable, nullptr);
        }
        RegisterEventSource(EventStorePath());
        settings = InstallMemorySettingsStore();
        prompts = std::make_shared<ScriptedPrompts>();
        SetUserPrompts(prompts);
        // Short waits keep the stall cases fast; the agent's own are 30 s and 60 s.
        ExchangeLimits limits;
        limits.connectTimeout = std::chrono::milliseconds(5000);
        limits.idleTimeout = SystemTrustIdleAllowance();
        SetExchangeLimits(limits);
    }

    void TearDown() override
    {
        std::error_code ignored;
        std::filesystem::remove_all(home, ignored);
    }
};

const auto* const environment = ::testing::AddGlobalTestEnvironment(new SessionTestEnvironment);

}  // namespace

const std::string& TestHome() { return home; }

ScriptedPrompts& TestPrompts() { return *prompts; }

MemorySettingsStore& TestSettings() { return *settings; }

EntryWatch::EntryWatch() : seen_(StoredOldestFirst().size()) {}

std::vector<LoggedEntry> EntryWatch::Entries() const
{
    std::vector<StoredEntry> stored = StoredOldestFirst();
    std::vector<LoggedEntry> entries;
    for (std::size_t i = seen_; i < stored.size(); ++i) {
        entries.push_back({static_cast<EntryType>(stored[i].type),
                           stored[i].strings.empty() ? std::string() : stored[i].strings.front()});
    }
    return entries;
}

std::vector<std::string> EntryWatch::Texts() const
{
    std::vector<std::string> texts;
    for (const LoggedEntry& entry : Entries()) {
        texts.push_back(entry.text);
    }
    return texts;
}

}  // namespace nerolin::test
