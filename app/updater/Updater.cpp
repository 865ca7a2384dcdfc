#include "app/updater/Updater.h"

#include <chrono>
#include <filesystem>
#include <utility>

#include <QStandardPaths>
#include <QUrl>

#include "app/updater/DownloadFolder.h"
#include "app/updater/PackageInstaller.h"
#include "app/updater/UpdateSignature.h"
#include "BuildConfig.h"
#include "eventlog/EventLog.h"
#include "platform/Settings.h"
#include "session/HttpDownload.h"

namespace nerolin {
namespace {

std::string SafeFileName(const std::string& url)
{
    const std::string name = QUrl(QString::fromStdString(url)).fileName().toStdString();
    bool safe = !name.empty() && name.front() != '.' && name.size() <= 200;
    for (char c : name) {
        const bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
                             c == '-' || c == '_' || c == '+';
        safe = safe && allowed;
    }
    return safe ? name : std::string("nerolin-update");
}

}  // namespace

Updater::Options Updater::DefaultOptions()
{
    Options options;
    options.currentVersion = build::kVersion;
    options.publicKeyBase64 = build::kUpdatePublicKey;
    options.downloadDirectory = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation).toStdString() +
                                "/Tavorel/Nerolin/updates";
    options.packageVersion = [](const std::string& path) { return PackageVersion(path); };
    options.handToInstaller = [](const std::string& path) { return HandToInstaller(path); };
    options.atEnd = StartHandedOverInstaller;
    return options;
}

Updater::Updater(std::shared_ptr<UpdaterUi> ui, Options options)
    : ui_(std::move(ui)),
      options_(std::move(options)),
      atEnd_(options_.atEnd)
{
}

Updater::~Updater() { Cleanup(); }

void Updater::SetRegistryPath(const std::string& path)
{
    std::lock_guard lock(mutex_);
    registryPath_ = path;
}

void Updater::SetAppcastUrl(const std::string& url)
{
    std::lock_guard lock(mutex_);
    appcastUrl_ = url;
}

void Updater::SetShutdownRequestCallback(UpdateCallback callback) { shutdownRequest_ = callback; }
void Updater::SetDidNotFindUpdateCallback(UpdateCallback callback) { didNotFind_ = callback; }
void Updater::SetUpdateCancelledCallback(UpdateCallback callback) { cancelled_ = callback; }

void Updater::SetAutomaticCheckForUpdates(int state)
{
    auto key = SettingsKey::OpenUser();
    key.WriteText(kCheckForUpdatesValue, state != 0 ? "1" : "0", Group());
    key.Sync();
}

void Updater::CheckUpdateWithUi() { Enqueue({Task::Kind::Check, true, {}}); }
void Updater::CheckUpdateWithoutUi() { Enqueue({Task::Kind::Check, false, {}}); }

void Updater::AnswerOffer(const AppcastItem& item, UpdateChoice choice)
{
    switch (choice) {
    case UpdateChoice::Install: Enqueue({Task::Kind::Install, true, item}); return;
    case UpdateChoice::Skip: {
        auto key = SettingsKey::OpenUser();
        key.WriteText(kSkipThisVersionValue, item.version, Group());
        key.Sync();
        break;
    }
    case UpdateChoice::RemindLater: break;
    }
    Call(cancelled_);
}

void Updater::Cleanup()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        tasks_.clear();
    }
    // A running transfer ends at its next look at the flag.
    abort_ = true;
    wake_.notify_all();
    // Called back from within a task, the loop ends once the task returns;
    // the owner's own Cleanup or the destructor joins it then.
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) {
        thread_.join();
    }
    // Once no task can run any more: what the hand-over left for the end
    // (on Windows, msiexec, which replaces this program's files).
    if (!thread_.joinable() && atEnd_) {
        std::exchange(atEnd_, nullptr)();
    }
}

void Updater::Enqueue(Task task)
{
    std::lock_guard lock(mutex_);
    if (stopping_) {
        return;
    }
    tasks_.push_back(std::move(task));
    if (!thread_.joinable()) {
        thread_ = std::thread([this] { Run(); });
    }
    wake_.notify_one();
}

void Updater::Run()
{
    for (;;) {
        Task task;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !tasks_.empty(); });
            if (stopping_) {
                return;
            }
            task = std::move(tasks_.front());
            tasks_.pop_front();
        }
        if (task.kind == Task::Kind::Check) {
            Check(task.withUi);
        } else {
            Install(task.item);
        }
    }
}

void Updater::Check(bool withUi)
{
    std::string url;
    {
        std::lock_guard lock(mutex_);
        url = appcastUrl_;
    }
    if (url.empty()) {
        // Without a feed there is nothing newer to find.
        if (withUi) {
            ui_->ShowCheckFailed();
        } else {
            Call(didNotFind_);
        }
        return;
    }
    std::string feed, error;
    if (!DownloadText(url, options_.maxFeedSize, abort_, feed, error)) {
        if (!abort_) {
            WriteEventEntry(EntryType::Warning, "Update check failed: " + error + " (" + url + ")");
            if (withUi) ui_->ShowCheckFailed();
        }
        return;
    }
    {
        auto key = SettingsKey::OpenUser();
        const auto now = std::chrono::system_clock::now().time_since_epoch();
        key.WriteText(setting::kLastCheckTime,
                      std::to_string(std::chrono::duration_cast<std::chrono::seconds>(now).count()), Group());
        key.Sync();
    }
    const auto appcast = ReadAppcast(feed, kUpdateSystem);
    if (!appcast) {
        WriteEventEntry(EntryType::Warning, "Update check failed: the update feed cannot be read (" + url + ")");
        if (withUi) ui_->ShowCheckFailed();
        return;
    }
    // A feed that offers nothing for this system has no update for it.
    const std::optional<AppcastItem>& newest = appcast->newest;
    const bool newer = newest && CompareVersions(newest->version, options_.currentVersion) > 0;
    const auto skipped = SettingsKey::OpenUser().ReadText(kSkipThisVersionValue, Group());
    if (newer && (withUi || !skipped || *skipped != newest->version)) {
        ui_->OfferUpdate(*this, *newest, options_.currentVersion);
    } else if (withUi) {
        ui_->ShowUpToDate(options_.currentVersion);
    } else {
        Call(didNotFind_);
    }
}

void Updater::Install(const AppcastItem& item)
{
    const std::string directory = options_.downloadDirectory;
    const std::string path = PackagePath(item.enclosureUrl);
    std::string error;
    const std::uint64_t limit =
        item.enclosureLength > 0 ? std::min(item.enclosureLength, options_.maxPackageSize) : options_.maxPackageSize;
    bool ok = MakeDownloadFolder(directory) && DownloadFile(item.enclosureUrl, limit, abort_, path, error);
    if (!ok) {
        if (!abort_) {
            WriteEventEntry(EntryType::Warning, "Update download failed: " + error + " (" + item.enclosureUrl + ")");
            ui_->ShowInstallFailed(InstallFailure::Download, path);
        }
        return;
    }
    std::error_code ignored;
    // UTF-8, as every path of the program (a user's folder may hold any letter).
    const std::filesystem::path file = std::filesystem::u8path(path);
    const bool lengthMatches =
        item.enclosureLength == 0 || std::filesystem::file_size(file, ignored) == item.enclosureLength;
    if (!lengthMatches || !VerifyUpdateSignature(path, item.edSignature, options_.publicKeyBase64)) {
        std::filesystem::remove(file, ignored);
        WriteEventEntry(EntryType::Error,
                        "Update package rejected: its signature is not valid (" + item.enclosureUrl + ")");
        ui_->ShowInstallFailed(InstallFailure::BadSignature, path);
        return;
    }
    // A signed package of an older release must not pass for the newer one a
    // tampered feed names: the package's own version must be the offer's.
    const auto version = options_.packageVersion ? options_.packageVersion(path) : std::nullopt;
    if (!version || *version != item.version) {
        std::filesystem::remove(file, ignored);
        WriteEventEntry(EntryType::Error, "Update package rejected: " +
                                              (version ? "it is version " + *version : "its version cannot be read") +
                                              ", the feed offered " + item.version + " (" + item.enclosureUrl + ")");
        ui_->ShowInstallFailed(InstallFailure::WrongVersion, path);
        return;
    }
    if (!options_.handToInstaller || !options_.handToInstaller(path)) {
        WriteEventEntry(EntryType::Warning, "Update package could not be handed to the system's installer: " + path);
        ui_->ShowInstallFailed(InstallFailure::NoInstaller, path);
        return;
    }
    Call(shutdownRequest_);
}

std::string Updater::Group() const
{
    std::lock_guard lock(mutex_);
    const auto slash = registryPath_.find_last_of("\\/");
    const std::string last = slash == std::string::npos ? registryPath_ : registryPath_.substr(slash + 1);
    return last.empty() ? std::string(setting::kUpdateGroup) : last;
}

std::string Updater::PackagePath(const std::string& url) const
{
    return options_.downloadDirectory + "/" + SafeFileName(url);
}

void Updater::Call(const std::atomic<UpdateCallback>& callback)
{
    if (UpdateCallback function = callback.load(); function != nullptr) {
        function();
    }
}

}  // namespace nerolin
