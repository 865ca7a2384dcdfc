// The updater against the reference service's update feed: no update, a
// newer version installed, skipped or postponed, a package with a bad
// signature or of another version, a failed hand-over, and feeds that
// cannot be read. Packages are real Debian packages made with dpkg-deb.

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <netinet/in.h>
#include <openssl/pem.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "app/updater/PackageInstaller.h"
#include "app/updater/Updater.h"
#include "common/OpenSslOwners.h"
#include "common/Text.h"
#include "platform/Settings.h"
#include "session/HttpExchange.h"
#include "tests/support/DevService.h"
#include "tests/support/TempHome.h"

namespace nerolin::test {
namespace {

std::atomic<int> didNotFindCalls{0};
std::atomic<int> cancelledCalls{0};
std::atomic<int> shutdownCalls{0};
void DidNotFind() { ++didNotFindCalls; }
void Cancelled() { ++cancelledCalls; }
void Shutdown() { ++shutdownCalls; }

std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

// The Sparkle signature of content with the development key of update packages.
std::string Sign(const std::string& content)
{
    const std::string pem = ReadFile(NEROLIN_SOURCE_DIR "/testdata/updater/update-signing-key.pem");
    BioPtr bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
    EvpPkeyPtr key(PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr));
    EvpMdContextPtr context(EVP_MD_CTX_new());
    Bytes signature(64);
    std::size_t length = signature.size();
    if (!key || EVP_DigestSignInit(context.get(), nullptr, nullptr, nullptr, key.get()) != 1 ||
        EVP_DigestSign(context.get(), signature.data(), &length, reinterpret_cast<const unsigned char*>(content.data()),
                       content.size()) != 1) {
        return {};
    }
    // One line, as feeds carry it.
    std::string text;
    for (char c : Base64Encode(signature, Base64Format::Base64)) {
        if (c != '\r' && c != '\n') text += c;
    }
    return text;
}

// Records what the updater shows and answers an offer as scripted.
class RecordingUi : public UpdaterUi {
public:
    UpdateChoice choice = UpdateChoice::Install;

    void ShowUpToDate(const std::string& version) override { Record("up to date " + version); }
    void ShowCheckFailed() override { Record("check failed"); }
    void OfferUpdate(Updater& updater, const AppcastItem& item, const std::string& current) override
    {
        Record("offer " + item.version + " over " + current);
        updater.AnswerOffer(item, choice);
    }
    void ShowInstallFailed(InstallFailure failure, const std::string&) override
    {
        switch (failure) {
        case InstallFailure::Download: Record("install failed: download"); break;
        case InstallFailure::BadSignature: Record("install failed: bad signature"); break;
        case InstallFailure::WrongVersion: Record("install failed: wrong version"); break;
        case InstallFailure::NoInstaller: Record("install failed: no installer"); break;
        }
    }
    // Stands in for the system's installer.
    bool HandToInstaller(const std::string& path)
    {
        Record("open " + std::filesystem::path(path).filename().string());
        openedContent = ReadFile(path);
        return installerTakesIt;
    }

    std::vector<std::string> Calls()
    {
        std::lock_guard lock(mutex);
        return calls;
    }
    std::string openedContent;
    bool installerTakesIt = true;

private:
    void Record(const std::string& call)
    {
        std::lock_guard lock(mutex);
        calls.push_back(call);
    }
    std::mutex mutex;
    std::vector<std::string> calls;
};

template <typename Condition>
bool WaitFor(Condition condition)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

class UpdaterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(service.Running()) << service.Log();
        setenv("SSL_CERT_FILE", service.SslCertFile().c_str(), 1);
        didNotFindCalls = cancelledCalls = shutdownCalls = 0;
    }
    void TearDown() override
    {
        if (updater) updater->Cleanup();
        unsetenv("SSL_CERT_FILE");
    }

    Updater& MakeUpdater(const std::string& appcastUrl)
    {
        Updater::Options options;
        options.currentVersion = "1.0.21";
        options.publicKeyBase64 = ReadFile(NEROLIN_SOURCE_DIR "/testdata/updater/update-public-key.b64");
        options.downloadDirectory = (home.root() / "cache/updates").string();
        options.packageVersion = [](const std::string& path) { return PackageVersion(path); };
        options.handToInstaller = [ui = ui](const std::string& path) { return ui->HandToInstaller(path); };
        updater = std::make_unique<Updater>(ui, options);
        updater->SetRegistryPath("Software\\Tavorel\\Nerolin\\WinSparkle");
        updater->SetAppcastUrl(appcastUrl);
        updater->SetDidNotFindUpdateCallback(DidNotFind);
        updater->SetUpdateCancelledCallback(Cancelled);
        updater->SetShutdownRequestCallback(Shutdown);
        return *updater;
    }

    std::string FeedUrl() const { return service.ServiceUrl() + "/appcast.xml"; }

    // A Debian package that declares version.
    std::string DebianPackage(const std::string& version)
    {
        const std::filesystem::path tree = home.root() / ("deb-" + version);
        std::filesystem::create_directories(tree / "DEBIAN");
        std::ofstream(tree / "DEBIAN/control") << "Package: nerolin\nVersion: " << version
                                               << "\nArchitecture: all\nMaintainer: Tests <tests@example.org>\n"
                                                  "Description: a package of the updater's tests\n";
        const std::string deb = tree.string() + ".deb";
        const std::string command =
            "dpkg-deb --root-owner-group -Zgzip --build " + tree.string() + " " + deb + " >/dev/null 2>&1";
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        return ReadFile(deb);
    }

    // The feed offers version with a package of content signed as signedContent.
    void Publish(const std::string& version, const std::string& content, const std::string& signedContent)
    {
        const std::string name = "nerolin-" + version + ".deb";
        ASSERT_EQ(service.Call("POST", "/admin/downloads/" + name, content).status, 200);
        ASSERT_TRUE(service.ConfigureAppcast(R"({"version":")" + version + R"(","shortVersionString":")" + version +
                                             R"(","enclosureUrl":")" + service.ServiceUrl() + "/downloads/" + name +
                                             R"(","length":)" + std::to_string(content.size()) + R"(,"edSignature":")" +
                                             Sign(signedContent) + R"("})"));
    }

    std::filesystem::path Package(const std::string& version) const
    {
        return home.root() / "cache/updates" / ("nerolin-" + version + ".deb");
    }

    TempHome home;
    DevService service;
    std::shared_ptr<RecordingUi> ui = std::make_shared<RecordingUi>();
    std::unique_ptr<Updater> updater;
};

TEST_F(UpdaterTest, TheSameVersionIsNoUpdate)
{
    ASSERT_TRUE(service.ConfigureAppcast(R"({"version":"1.0.21","shortVersionString":"1.0.21"})"));
    Updater& updates = MakeUpdater(FeedUrl());
    updates.CheckUpdateWithoutUi();
    ASSERT_TRUE(WaitFor([] { return didNotFindCalls == 1; }));
    updates.CheckUpdateWithUi();
    ASSERT_TRUE(WaitFor([&] { return ui->Calls().size() == 1; }));
    EXPECT_EQ(ui->Calls(), (std::vector<std::string>{"up to date 1.0.21"}));
    EXPECT_EQ(didNotFindCalls, 1);
    EXPECT_EQ(cancelledCalls + shutdownCalls, 0);
    // The time of the check, in seconds since 1970.
    auto last = SettingsKey::OpenUser().ReadText(setting::kLastCheckTime, setting::kUpdateGroup);
    ASSERT_TRUE(last);
    EXPECT_GT(std::stoll(*last), 1700000000);
}

TEST_F(UpdaterTest, ANewerVersionIsDownloadedVerifiedAndHandedToTheInstaller)
{
    const std::string content = DebianPackage("1.0.30");
    Publish("1.0.30", content, content);
    Updater& updates = MakeUpdater(FeedUrl());
    updates.CheckUpdateWithoutUi();
    ASSERT_TRUE(WaitFor([] { return shutdownCalls == 1; })) << ::testing::PrintToString(ui->Calls());
    EXPECT_EQ(ui->Calls(), (std::vector<std::string>{"offer 1.0.30 over 1.0.21", "open nerolin-1.0.30.deb"}));
    EXPECT_EQ(ui->openedContent, content);
    EXPECT_EQ(didNotFindCalls + cancelledCalls, 0);
}

// A package is installed only when it is the one offered: signed by the
// publisher and of the feed's version (a tampered feed may name an older
// signed release as the newer one).
TEST_F(UpdaterTest, APackageThatIsNotTheOfferedOneIsDeletedAndTheFailureShown)
{
    struct Case {
        const char* name;
        std::string version, content, signedContent, failure;
    };
    // Built once: dpkg-deb stamps the time into the archive, so two builds a
    // second apart differ, and the signature of one would not fit the other.
    const std::string olderRelease = DebianPackage("1.0.20");
    const std::vector<Case> cases = {
        {"signature of other content", "1.0.31", "the real package", "a different package", "bad signature"},
        {"one byte changed", "1.0.31", "Nerolin 1.0.31 package", "Nerolin 1.0.31 packagf", "bad signature"},
        {"an older release", "1.0.32", olderRelease, olderRelease, "wrong version"},
        {"no Debian package", "1.0.32", "Nerolin 1.0.32, but no package", "Nerolin 1.0.32, but no package",
         "wrong version"},
    };
    for (const Case& c : cases) {
        Publish(c.version, c.content, c.signedContent);
        ui = std::make_shared<RecordingUi>();
        Updater& updates = MakeUpdater(FeedUrl());
        updates.CheckUpdateWithUi();
        ASSERT_TRUE(WaitFor([&] { return ui->Calls().size() == 2; })) << c.name;
        updates.Cleanup();
        EXPECT_EQ(ui->Calls(),
                  (std::vector<std::string>{"offer " + c.version + " over 1.0.21", "install failed: " + c.failure}))
            << c.name;
        EXPECT_FALSE(std::filesystem::exists(Package(c.version))) << c.name;
        EXPECT_EQ(shutdownCalls, 0) << c.name;
    }
}

TEST_F(UpdaterTest, AHandOverTheSystemRefusesIsToldAndThePackageKept)
{
    const std::string content = DebianPackage("1.0.33");
    Publish("1.0.33", content, content);
    ui->installerTakesIt = false;
    Updater& updates = MakeUpdater(FeedUrl());
    updates.CheckUpdateWithUi();
    ASSERT_TRUE(WaitFor([&] { return ui->Calls().size() == 3; })) << ::testing::PrintToString(ui->Calls());
    updates.Cleanup();
    EXPECT_EQ(ui->Calls(), (std::vector<std::string>{"offer 1.0.33 over 1.0.21", "open nerolin-1.0.33.deb",
                                                     "install failed: no installer"}));
    EXPECT_TRUE(std::filesystem::exists(Package("1.0.33")));
    EXPECT_EQ(shutdownCalls, 0);
}

TEST_F(UpdaterTest, AFeedWithNothingForThisSystemIsNoUpdate)
{
    ASSERT_TRUE(service.ConfigureAppcast(R"({"version":"1.0.50","shortVersionString":"1.0.50","os":"windows"})"));
    Updater& updates = MakeUpdater(FeedUrl());
    updates.CheckUpdateWithoutUi();
    ASSERT_TRUE(WaitFor([] { return didNotFindCalls == 1; }));
    updates.CheckUpdateWithUi();
    ASSERT_TRUE(WaitFor([&] { return ui->Calls().size() == 1; }));
    EXPECT_EQ(ui->Calls(), (std::vector<std::string>{"up to date 1.0.21"}));
    EXPECT_EQ(cancelledCalls + shutdownCalls, 0);
}

TEST_F(UpdaterTest, ASkippedVersionIsNotOfferedByTheQuietCheckAgain)
{
    Publish("1.0.40", "package", "package");
    ui->choice = UpdateChoice::Skip;
    Updater& updates = MakeUpdater(FeedUrl());
    updates.CheckUpdateWithoutUi();
    ASSERT_TRUE(WaitFor([] { return cancelledCalls == 1; }));
    EXPECT_EQ(SettingsKey::OpenUser().ReadText(kSkipThisVersionValue, setting::kUpdateGroup), "1.0.40");

    updates.CheckUpdateWithoutUi();
    ASSERT_TRUE(WaitFor([] { return didNotFindCalls == 1; }));
    // Asked for, it is offered; postponed, it stays skipped for quiet checks.
    ui->choice = UpdateChoice::RemindLater;
    updates.CheckUpdateWithUi();
    ASSERT_TRUE(WaitFor([] { return cancelledCalls == 2; }));
    EXPECT_EQ(ui->Calls(), (std::vector<std::string>{"offer 1.0.40 over 1.0.21", "offer 1.0.40 over 1.0.21"}));

    // A newer release than the skipped one is offered again.
    Publish("1.0.41", "package", "package");
    updates.CheckUpdateWithoutUi();
    ASSERT_TRUE(WaitFor([] { return cancelledCalls == 3; }));
    EXPECT_EQ(ui->Calls().back(), "offer 1.0.41 over 1.0.21");
    EXPECT_FALSE(std::filesystem::exists(Package("1.0.40")));
    EXPECT_EQ(shutdownCalls, 0);
}

TEST_F(UpdaterTest, AFeedThatCannotBeReadEndsTheQuietCheckWithoutACallback)
{
    struct Case {
        const char* name;
        std::string url;
        std::string feed;  // admin configuration of the feed
    };
    const std::string http = "http://" + service.ServiceUrl().substr(std::string("https://").size()) + "/appcast.xml";
    const std::vector<Case> cases = {
        {"server error", FeedUrl(), R"({"status":500})"},
        {"no feed", FeedUrl(), R"({"status":200,"body":"<html>maintenance</html>"})"},
        {"plain http", http, R"({"status":200})"},
        {"no such page", service.ServiceUrl() + "/nothing.xml", R"({"status":200})"},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(service.ConfigureAppcast(c.feed)) << c.name;
        ui = std::make_shared<RecordingUi>();
        Updater& updates = MakeUpdater(c.url);
        updates.CheckUpdateWithoutUi();
        updates.CheckUpdateWithUi();
        // Checks run in order: once the second has shown its failure, the first has ended.
        ASSERT_TRUE(WaitFor([&] { return !ui->Calls().empty(); })) << c.name;
        EXPECT_EQ(ui->Calls(), (std::vector<std::string>{"check failed"})) << c.name;
        EXPECT_EQ(didNotFindCalls + cancelledCalls + shutdownCalls, 0) << c.name;
    }
}

TEST_F(UpdaterTest, WithoutAFeedTheQuietCheckFindsNothing)
{
    Updater& updates = MakeUpdater("");
    updates.CheckUpdateWithoutUi();
    ASSERT_TRUE(WaitFor([] { return didNotFindCalls == 1; }));
    updates.CheckUpdateWithUi();
    ASSERT_TRUE(WaitFor([&] { return !ui->Calls().empty(); }));
    EXPECT_EQ(ui->Calls(), (std::vector<std::string>{"check failed"}));
}

TEST_F(UpdaterTest, CleanupAbortsARunningCheckAndJoinsTheUpdatersThread)
{
    // A feed host that takes the connection and never says a word; the waits
    // are longer than the test may run, so only the abort can end the check.
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(listener, 4), 0);
    ASSERT_EQ(getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
    const ExchangeLimits saved = CurrentExchangeLimits();
    ExchangeLimits endless = saved;
    endless.connectTimeout = std::chrono::hours(1);
    endless.idleTimeout = std::chrono::hours(1);
    SetExchangeLimits(endless);

    Updater& updates = MakeUpdater("https://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/appcast.xml");
    updates.CheckUpdateWithoutUi();
    pollfd incoming{listener, POLLIN, 0};
    ASSERT_EQ(poll(&incoming, 1, 30000), 1);
    const int connection = accept(listener, nullptr, nullptr);
    updates.Cleanup();  // returns once the transfer has ended and the thread is joined
    EXPECT_TRUE(ui->Calls().empty());
    EXPECT_EQ(didNotFindCalls + cancelledCalls + shutdownCalls, 0);

    SetExchangeLimits(saved);
    close(connection);
    close(listener);
}

}  // namespace
}  // namespace nerolin::test
