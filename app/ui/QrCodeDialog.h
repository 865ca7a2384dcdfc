#pragma once

// Mobile signing: the session's link as a QR code for the mobile
// application, and the session's state below it, asked of the service every
// two seconds by a StatePoller. The dialog closes when the poller has
// finished: after the session finished, after a failed poll, or after Cancel
// (which asks the poller to stop and ends a state request in flight, showing
// nothing for it). Enter presses the focused button, Cancel, and nothing else.

#include <chrono>
#include <memory>

#include <QDialog>
#include <QPixmap>

#include "app/run/SessionOutcome.h"
#include "app/run/WorkerThread.h"

namespace Ui {
class QrCodeDialog;
}

namespace nerolin {

class SigningSession;
class StatePoller;

class QrCodeDialog : public QDialog {
    Q_OBJECT
public:
    // session is not owned; the poller uses it alone while the dialog is open.
    QrCodeDialog(SigningSession* session, QWidget* parent = nullptr);
    ~QrCodeDialog() override;

    // For tests: a shorter wait between polls, and a thread start that fails.
    void SetPollInterval(std::chrono::milliseconds interval) { pollInterval_ = interval; }
    void SetThreadStarter(WorkerThread::Starter starter) { threadStarter_ = std::move(starter); }

    // Cancel, Escape and the close box.
    void reject() override;
    // A dialog's accept: ignored, so that only the poller's end closes it.
    void accept() override {}
    // The user pressed Cancel (or Escape, or the close box).
    bool Cancelled() const { return cancelled_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void ShowQrCode();
    void StartPolling();

    std::unique_ptr<Ui::QrCodeDialog> ui_;
    SigningSession* session_;
    QPixmap image_;
    std::chrono::milliseconds pollInterval_{2000};
    WorkerThread::Starter threadStarter_;
    std::unique_ptr<StatePoller> poller_;
    bool polling_ = false;
    bool started_ = false;
    bool cancelled_ = false;
};

// "Sign with mobile" of the main window: runs the dialog and says how the
// session ended for the window (Open: the mobile side never took it up, and
// the window stays ready).
SessionOutcome RunMobileSigning(SigningSession& session, QWidget* parent);

}  // namespace nerolin
