#pragma once

// Nerolin's updater: checks a Sparkle RSS feed on a thread of its own,
// offers a newer version, downloads it over HTTPS, checks its Ed25519
// signature against the key the build carries and that it is the version
// offered, hands it to the system's installer and asks the program to close. It keeps "LastCheckTime", "CheckForUpdates"
// and "SkipThisVersion" in its group of the user's settings file.
//
// Checks and installations run one after another on the one thread. A
// version the user skipped is not offered by a check without user
// interface; "Update..." still offers it, so the user can change their mind.

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "app/updater/UpdateLibrary.h"
#include "app/updater/UpdaterUi.h"

namespace nerolin {

// Values of the updater's group.
inline constexpr char kCheckForUpdatesValue[] = "CheckForUpdates";
inline constexpr char kSkipThisVersionValue[] = "SkipThisVersion";

class Updater final : public UpdateLibrary {
public:
    struct Options {
        std::string currentVersion;     // the program's version
        std::string publicKeyBase64;    // the key of update packages
        std::string downloadDirectory;  // where packages go; made when missing
        std::size_t maxFeedSize = 1024 * 1024;
        std::uint64_t maxPackageSize = 512ull * 1024 * 1024;
        // The version a package declares itself, and its hand-over to the
        // system's installer (true when it took the package); tests replace them.
        std::function<std::optional<std::string>(const std::string& path)> packageVersion;
        std::function<bool(const std::string& path)> handToInstaller;
        // Runs once, when the updater has ended (StartHandedOverInstaller).
        std::function<void()> atEnd;
    };
    // The program's own version and key, downloads under the user's cache.
    static Options DefaultOptions();

    Updater(std::shared_ptr<UpdaterUi> ui, Options options);
    ~Updater() override;
    Updater(const Updater&) = delete;
    Updater& operator=(const Updater&) = delete;

    void SetRegistryPath(const std::string& path) override;
    void SetAppcastUrl(const std::string& url) override;
    void SetShutdownRequestCallback(UpdateCallback callback) override;
    void SetDidNotFindUpdateCallback(UpdateCallback callback) override;
    void SetUpdateCancelledCallback(UpdateCallback callback) override;
    void SetAutomaticCheckForUpdates(int state) override;
    void CheckUpdateWithUi() override;
    void CheckUpdateWithoutUi() override;
    void Cleanup() override;

    // The user's answer to OfferUpdate; from any thread.
    void AnswerOffer(const AppcastItem& item, UpdateChoice choice);

private:
    struct Task {
        enum class Kind { Check, Install } kind;
        bool withUi = false;
        AppcastItem item;
    };

    void Enqueue(Task task);
    void Run();
    void Check(bool withUi);
    void Install(const AppcastItem& item);
    std::string Group() const;
    std::string PackagePath(const std::string& url) const;
    static void Call(const std::atomic<UpdateCallback>& callback);

    const std::shared_ptr<UpdaterUi> ui_;
    const Options options_;
    std::function<void()> atEnd_;  // options_.atEnd until it has run

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Task> tasks_;
    bool stopping_ = false;
    std::string registryPath_;
    std::string appcastUrl_;
    std::thread thread_;

    std::atomic<bool> abort_{false};
    std::atomic<UpdateCallback> shutdownRequest_{nullptr};
    std::atomic<UpdateCallback> didNotFind_{nullptr};
    std::atomic<UpdateCallback> cancelled_{nullptr};
};

}  // namespace nerolin
