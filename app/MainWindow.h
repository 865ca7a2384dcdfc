#pragma once

// The main window: the session's identifier, service provider, message and
// documents, the progress bar, the auto-close check box and the buttons
// "Sign with mobile", "Start sign" and "Cancel". It starts the launch thread
// and the signing worker and turns their posted reports into control changes.
// It never closes while a thread still uses the session: Cancel is ignored
// while loading and only asks a running worker to stop.

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include <QDialog>

#include "providers/SigningProvider.h"

namespace Ui {
class MainWindow;
}

namespace nerolin {

class SigningSession;
class WindowMessageEvent;

class MainWindow : public QDialog {
    Q_OBJECT
public:
    using ProviderFactory = std::function<std::unique_ptr<SigningProvider>()>;

    // session is not owned and must outlive the window. Without a factory
    // every signing run gets a fresh composite provider.
    explicit MainWindow(SigningSession* session, QWidget* parent = nullptr, ProviderFactory providerFactory = {});
    ~MainWindow() override;

    // Shows the window on top of the others (a second start with this session).
    void BringToFront();

    // For tests: the pause of the worker after "OK" and between polls, and
    // what a click on a link does instead of opening the browser.
    void SetWorkerPause(std::chrono::milliseconds pause) { workerPause_ = pause; }
    void SetLinkOpener(std::function<void(const QString&)> opener) { linkOpener_ = std::move(opener); }

    // The launch thread runs / a signing worker runs (for tests and for
    // whoever must know whether the window may close).
    bool IsLoading() const { return loading; }
    bool IsSigningRunning() const { return signingRunning; }

    // Cancel, Escape and the close box.
    void reject() override;

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void BuildMenu();
    void ApplySelectCertificateLayout();
    void HandleMessage(const WindowMessageEvent& message);
    void StartLaunch();
    void OnLaunchProgress(std::intptr_t wParam, std::intptr_t lParam);
    void ShowConfiguration();
    void AddDocumentRow(int index);
    void StartSigning();
    void OnWorkerReport(std::intptr_t slot, std::intptr_t argument);
    void EndOfSession();
    // "Sign with mobile": the QR code dialog, then whether the session is over.
    void SignWithMobile();
    // CloseMainWindow of the updater: closes without the Cancel rules.
    void CloseForUpdater();
    void SetMarquee(bool on);
    void SetRange(int maximum);
    void OpenLink(const QString& url);
    void SaveScreenshotForTests();
    void ReportShownForBenchmark();

    std::unique_ptr<Ui::MainWindow> ui_;
    SigningSession* session;
    ProviderFactory providerFactory_;
    std::chrono::milliseconds workerPause_{1000};
    std::function<void(const QString&)> linkOpener_;

    std::atomic<bool> loading{false};
    std::atomic<bool> signingStarted{false};
    std::atomic<bool> signingRunning{false};
    std::thread launchThread_;
    std::thread signingThread_;

    bool shownOnce_ = false;
    bool marquee_ = false;
    int rangeMaximum_ = 100;
    int position_ = 0;
};

}  // namespace nerolin
