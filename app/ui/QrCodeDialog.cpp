#include "app/ui/QrCodeDialog.h"

#include <QIcon>
#include <QImage>
#include <QPalette>
#include <QStyle>

#include "app/ui/AccentRoom.h"
#include "app/ui/StatePoller.h"
#include "app/ui/UiText.h"
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

QrCodeDialog::QrCodeDialog(SigningSession* session, QWidget* parent)
    : QDialog(parent),
      ui_(std::make_unique<Ui::QrCodeDialog>()),
      session_(session)
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
    ui_->iconLabel->setAccessibleName(UiText(strings::kPhoneImageAccessibleName));
    connect(ui_->cancelButton, &QPushButton::clicked, this, &QrCodeDialog::reject);
    ui_->qrCodeLabel->setAccessibleName(UiText(strings::kQrCodeAccessibleName));
    MakeRoomForAccents(this);
    ShowQrCode();
}

// A poller that is still running (the dialog goes before its end, which
// normal use never does) stops at its next look and is waited for.
QrCodeDialog::~QrCodeDialog() = default;

void QrCodeDialog::ShowQrCode()
{
    RgbImage code;
    const SessionError result = session_->MakeQRCode(code);
    if (result != SessionError::Ok || code.width <= 0 ||
        code.pixels.size() != static_cast<std::size_t>(code.width) * static_cast<std::size_t>(code.height) * 3) {
        ShowSessionResult(result == SessionError::Ok ? SessionError::QRCodeError : result, session_->serverMessage);
        return;
    }
    image_ = QrPixmap(code);
    // The code itself has no quiet zone: a white frame around the picture
    // gives the camera the light margin it needs on a grey dialog.
    QPalette palette = ui_->qrCodeLabel->palette();
    palette.setColor(QPalette::Window, Qt::white);
    ui_->qrCodeLabel->setPalette(palette);
    ui_->qrCodeLabel->setPixmap(image_);
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
    poller_ = std::make_unique<StatePoller>(*session_, pollInterval_);
    if (threadStarter_) {
        poller_->SetStarter(threadStarter_);
    }
    connect(poller_.get(), &StatePoller::StatusChanged, ui_->stateLabel, &QLabel::setText);
    connect(poller_.get(), &StatePoller::Finished, this, [this] { QDialog::done(QDialog::Rejected); });
    polling_ = poller_->Start();
    if (!polling_) {
        Prompts().ShowMessage(LoadString(strings::kStartThreadFailed), MessageIcon::Error);
    }
}

void QrCodeDialog::reject()
{
    cancelled_ = true;
    // Without a polling thread nothing would ever close the dialog.
    if (!polling_) {
        QDialog::reject();
        return;
    }
    ui_->cancelButton->setEnabled(false);
    poller_->Stop();
}

SessionOutcome RunMobileSigning(SigningSession& session, QWidget* parent)
{
    bool cancelled = false;
    {
        QrCodeDialog dialog(&session, parent);
        dialog.exec();
        cancelled = dialog.Cancelled();
    }
    return OutcomeOfMobileSigning(session, cancelled);
}

}  // namespace nerolin
