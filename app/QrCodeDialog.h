#pragma once

// Mobile signing: the session's link as a QR code for the mobile
// application, and the session's state below it, asked of the service every
// two seconds by a polling thread. The dialog closes when the thread posts
// its last message: after the session finished, after a failed poll, or
// after Cancel (which only asks the thread to stop). Enter does nothing.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include <QDialog>
#include <QPixmap>

namespace Ui {
class QrCodeDialog;
}

namespace nerolin {

class SigningSession;

// Posted by the polling thread: wParam 1 closes the dialog, any other value
// shows statusText.
inline constexpr int UM_QR_UPDATE = 1025;

// The text shown for a state of the session; empty for a state not listed.
std::string StateText(const std::string& state);

class QrCodeDialog : public QDialog {
    Q_OBJECT
public:
    using ThreadStarter = std::function<std::thread(std::function<void()>)>;

    // session is not owned; the polling thread uses it alone while the
    // dialog is open.
    QrCodeDialog(SigningSession* session, QWidget* parent = nullptr);
    ~QrCodeDialog() override;

    // For tests: a shorter wait between polls, and a thread start that fails.
    void SetPollInterval(std::chrono::milliseconds interval) { pollInterval_ = interval; }
    void SetThreadStarter(ThreadStarter starter) { threadStarter_ = std::move(starter); }

    // Cancel, Escape and the close box.
    void reject() override;
    // Enter: ignored, so that only the thread's last message closes the dialog.
    void accept() override {}

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void ShowQrCode();
    void StartPolling();
    void QrPollThreadProc();
    void SetStatus(const std::string& text);
    // The pause between polls; cut short only when the dialog is destroyed.
    void Wait();

    std::unique_ptr<Ui::QrCodeDialog> ui_;
    SigningSession* session;
    QPixmap image;

    // The lock guards statusText and stopRequested and nothing else; it is
    // never held while the session is used or the thread waits.
    std::mutex lock;
    std::string statusText;
    bool stopRequested = false;

    std::chrono::milliseconds pollInterval_{2000};
    ThreadStarter threadStarter_;
    std::thread pollThread_;
    bool polling_ = false;
    bool started_ = false;

    std::mutex waitMutex_;
    std::condition_variable waitEnd_;
    bool abandoned_ = false;
};

// "Sign with mobile" of the main window: runs the dialog and says whether
// the session is over for the window (false: the mobile side never took it
// up, and the window stays ready).
bool RunMobileSigning(SigningSession& session, QWidget* parent);

}  // namespace nerolin
