#pragma once

// The main window: the session's identifier, service provider, message and
// documents, the progress bar, the auto-close check box and the buttons
// "Sign with mobile", "Start sign" and "Cancel". It runs the session's
// background work (the launch step, the signing worker, the cancel message)
// on worker objects and turns their queued signals into control changes.
// It never closes while one of them still uses the session: Cancel is
// ignored while loading or while the cancel message is on its way, and only
// asks a running worker to stop.

#include <chrono>
#include <functional>
#include <memory>

#include <QDialog>

#include "app/run/SessionOutcome.h"
#include "app/ui/AccessibleNames.h"
#include "platform/qt/SessionChannel.h"
#include "providers/SigningProvider.h"

namespace Ui {
class MainWindow;
}

namespace nerolin {

class SigningSession;
class LaunchWorker;
class SigningWorker;
class CancelSender;
class WindowPlace;

class MainWindow : public QDialog {
    Q_OBJECT
public:
    using ProviderFactory = std::function<std::unique_ptr<SigningProvider>()>;

    // session is not owned and must outlive the window. Without a factory
    // every signing run gets a fresh composite provider.
    explicit MainWindow(SigningSession* session, QWidget* parent = nullptr, ProviderFactory providerFactory = {});
    ~MainWindow() override;

    // A second start with this session: the window the user must answer
    // (the top-most modal dialog, else this one) comes forward.
    void BringToFront(const RaiseRequest& request = {});

    // For tests: the pause of the worker after "OK" and between polls, and
    // what a click on a link does instead of opening the browser.
    void SetWorkerPause(std::chrono::milliseconds pause) { workerPause_ = pause; }
    void SetLinkOpener(std::function<void(const QString&)> opener) { linkOpener_ = std::move(opener); }

    // The launch step runs / a signing worker runs / the cancel message is on
    // its way / the updater's close waits for one of them.
    bool IsLoading() const { return loading_; }
    bool IsSigningRunning() const { return signingRunning_; }
    bool IsSendingCancel() const { return sendingCancel_; }
    bool IsClosePending() const { return closePending_; }
    // How the session ended, as the status line says it; Open while it has
    // not (or without a session).
    const SessionOutcome& Outcome() const { return outcome_; }

    // "Start sign", and the start that "StartSigningImmediately" queues.
    // One worker per run, however many requests arrive.
    void StartSigning();
    // CloseMainWindow of the updater: closes without the Cancel rules, as
    // soon as no background work uses the session any more.
    void CloseForUpdater();

    // Cancel, Escape and the close box.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void BuildMenu();
    void ApplySelectCertificateLayout();
    void StartLaunch();
    void LaunchFinished(const SessionOutcome& outcome);
    void ShowConfiguration();
    void AddDocumentRow(int index);
    void SigningFinished(const SessionOutcome& outcome);
    void EndOfSession();
    // The cancel message off this thread; the window shows it is busy and
    // closes once the exchange has ended.
    void SendCancelAndClose();
    // "Sign with mobile": the QR code dialog, then whether the session is over.
    void SignWithMobile();
    bool Busy() const { return loading_ || signingRunning_ || sendingCancel_ || mobileOpen_; }
    // A close the updater asked for while busy happens now; true when it did.
    bool CloseIfRequested();
    // The status line; the outcome the process's exit status follows.
    void ShowOutcome(const SessionOutcome& outcome);
    // The status line's text and icon, by what the icon means.
    void ShowStatus(const QString& text, IconMeaning meaning);
    void OpenLink(const QString& url);
    void SaveScreenshotForTests();
    void ReportFirstPaintForBenchmark();

    std::unique_ptr<Ui::MainWindow> ui_;
    SigningSession* session_;
    ProviderFactory providerFactory_;
    std::chrono::milliseconds workerPause_{1000};
    std::function<void(const QString&)> linkOpener_;

    // Touched on this window's thread only: the workers report through
    // queued signals.
    bool loading_ = false;
    bool signingStarted_ = false;
    bool signingRunning_ = false;
    bool sendingCancel_ = false;
    bool mobileOpen_ = false;
    bool closePending_ = false;

    bool shownOnce_ = false;
    SessionOutcome outcome_;
    // Held while the window lives: another session's window opens beside it.
    std::unique_ptr<WindowPlace> place_;

    // Declared last, so they go first: each joins its thread.
    std::unique_ptr<LaunchWorker> launch_;
    std::unique_ptr<SigningWorker> signing_;
    std::unique_ptr<CancelSender> cancel_;
};

}  // namespace nerolin
