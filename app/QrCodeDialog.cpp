#include "app/QrCodeDialog.h"

#include <system_error>

#include <QIcon>
#include <QImage>
#include <QPalette>
#include <QStyle>

#include "app/UiText.h"
#include "app/WindowMessages.h"
#include "common/StringIds.h"
#include "common/UserPrompts.h"
#include "session/SigningSession.h"
#include "ui_QrCodeDialog.h"

namespace nerolin {
namespace {

constexpr int kQrImageSize = 192;

QPixmap QrPixmap(const RgbImage& code)
{
    const QImage modules(code.pixels.data(), code.width, code.height, code.width * 3, QImage::Format_RGB888);
    // Nearest neighbour: every module stays a sharp square however the
    // version's size divides into the picture.
    return QPixmap::fromImage(
        modules.scaled(kQrImageSize, kQrImageSize, Qt::IgnoreAspectRatio, Qt::FastTransformation));
}

}  // namespace

std::string StateText(const std::string& state)
{
    struct Entry {
        std::string_view state;
        int id;
    };
    static constexpr Entry kTexts[] = {
        {SessionState::WaitingForConfigGot, strings::kStateWaitingForConfigGot},
        {SessionState::WaitingForCertificate, strings::kStateWaitingForCertificate},
        {SessionState::WaitingForUnsignedHashes, strings::kStateWaitingForUnsignedHashes},
        {SessionState::WaitingForSignedHashes, strings::kStateWaitingForSignedHashes},
        {SessionState::Finished, strings::kStateFinished},
        {SessionState::Error, strings::kStateError},
    };
    for (const Entry& entry : kTexts) {
        if (entry.state == state) {
            return LoadString(entry.id);
        }
    }
    return {};
}

QrCodeDialog::QrCodeDialog(SigningSession* session, QWidget* parent)
    : QDialog(parent),
      ui_(std::make_unique<Ui::QrCodeDialog>()),
      session(session),
      threadStarter_([](std::function<void()> body) { return std::thread(std::move(body)); })
{
    ui_->setupUi(this);
    setWindowTitle(UiText(strings::kMobileTitle));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    ui_->introLabel->setText(UiText(strings::kMobileIntroText));
    ui_->appsLabel->setText(UiText(strings::kMobileAppsText));
    ui_->cancelButton->setText(UiText(strings::kMobileCancel));
    QIcon icon = QIcon::fromTheme(QStringLiteral("smartphone"), QIcon::fromTheme(QStringLiteral("phone")));
    if (icon.isNull()) {
        icon = style()->standardIcon(QStyle::SP_MessageBoxInformation);
    }
    ui_->iconLabel->setPixmap(icon.pixmap(32, 32));
    connect(ui_->cancelButton, &QPushButton::clicked, this, &QrCodeDialog::reject);
    ShowQrCode();
}

QrCodeDialog::~QrCodeDialog()
{
    if (pollThread_.joinable()) {
        // Normally the thread has posted its last message already; if the
        // dialog goes earlier, the thread stops at its next look.
        {
            std::lock_guard guard(lock);
            stopRequested = true;
        }
        {
            std::lock_guard guard(waitMutex_);
            abandoned_ = true;
        }
        waitEnd_.notify_all();
        pollThread_.join();
    }
}

void QrCodeDialog::ShowQrCode()
{
    RgbImage code;
    const SessionError result = session->MakeQRCode(code);
    if (result != SessionError::Ok || code.width <= 0 ||
        code.pixels.size() != static_cast<std::size_t>(code.width) * static_cast<std::size_t>(code.height) * 3) {
        ShowSessionResult(result == SessionError::Ok ? SessionError::QRCodeError : result, session->serverMessage);
        return;
    }
    image = QrPixmap(code);
    // The code itself has no quiet zone: a white frame around the picture
    // gives the camera the light margin it needs on a grey dialog.
    QPalette palette = ui_->qrCodeLabel->palette();
    palette.setColor(QPalette::Window, Qt::white);
    ui_->qrCodeLabel->setPalette(palette);
    ui_->qrCodeLabel->setPixmap(image);
}

void QrCodeDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!started_) {
        started_ = true;
        StartPolling();
    }
}

void QrCodeDialog::StartPolling()
{
    try {
        pollThread_ = threadStarter_([this] { QrPollThreadProc(); });
        polling_ = pollThread_.joinable();
    } catch (const std::system_error&) {
        polling_ = false;
    }
    if (!polling_) {
        Prompts().ShowMessage(LoadString(strings::kStartThreadFailed), MessageIcon::Error);
    }
}

void QrCodeDialog::reject()
{
    // Without a polling thread nothing would ever close the dialog.
    if (!polling_) {
        QDialog::reject();
        return;
    }
    ui_->cancelButton->setEnabled(false);
    std::lock_guard guard(lock);
    stopRequested = true;
}

bool QrCodeDialog::event(QEvent* event)
{
    if (event->type() != WindowMessageEvent::Type()) {
        return QDialog::event(event);
    }
    const auto& message = static_cast<const WindowMessageEvent&>(*event);
    if (message.message != UM_QR_UPDATE) {
        return true;
    }
    if (message.wParam == 1) {
        QDialog::done(QDialog::Rejected);
        return true;
    }
    std::string text;
    {
        std::lock_guard guard(lock);
        text = statusText;
    }
    ui_->stateLabel->setText(ToQString(text));
    return true;
}

void QrCodeDialog::SetStatus(const std::string& text)
{
    {
        std::lock_guard guard(lock);
        statusText = text;
    }
    PostWindowMessage(this, UM_QR_UPDATE, 0, 0);
}

void QrCodeDialog::Wait()
{
    std::unique_lock guard(waitMutex_);
    waitEnd_.wait_for(guard, pollInterval_, [this] { return abandoned_; });
}

void QrCodeDialog::QrPollThreadProc()
{
    const auto stopped = [this] {
        std::lock_guard guard(lock);
        return stopRequested;
    };
    if (!stopped()) {
        for (;;) {
            const SessionError result = session->FetchState();
            if (result != SessionError::Ok) {
                ShowSessionResult(result, session->serverMessage);
                SetStatus(StateText(std::string(SessionState::Error)));
                Wait();
                break;
            }
            SetStatus(StateText(session->state));
            if (session->state == SessionState::Finished) {
                Wait();
                break;
            }
            Wait();
            if (stopped()) {
                break;
            }
        }
    }
    // The thread's last use of the dialog.
    PostWindowMessage(this, UM_QR_UPDATE, 1, 0);
}

bool RunMobileSigning(SigningSession& session, QWidget* parent)
{
    {
        QrCodeDialog dialog(&session, parent);
        dialog.exec();
    }
    // The state in which the service still waits for the mobile side to
    // begin: the mobile application never took the session up.
    const std::string_view untouched = session.mode == SessionMode::SignMode ? SessionState::WaitingForSignedHashes
                                                                             : SessionState::WaitingForCertificate;
    return !(session.serverMessage.code.empty() && session.state == untouched);
}

}  // namespace nerolin
