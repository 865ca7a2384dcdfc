#include "app/ui/ServerTrustDialog.h"

#include <QPushButton>
#include <QStyle>

#include "app/ui/AccentRoom.h"
#include "app/ui/AccessibleNames.h"
#include "app/ui/CertificateSummary.h"
#include "app/ui/UiText.h"
#include "app/ui/VerifyReason.h"
#include "common/StringIds.h"
#include "ui_ServerTrustDialog.h"

namespace nerolin {

ServerTrustDialog::ServerTrustDialog(const std::string& host, const Bytes& certificate, const std::string& reason,
                                     QWidget* parent)
    : QDialog(parent),
      ui_(std::make_unique<Ui::ServerTrustDialog>())
{
    ui_->setupUi(this);
    setWindowTitle(UiText(strings::kUntrustedServerTitle));
    const int iconSize = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
    ui_->iconLabel->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(iconSize));
    NameIcon(*ui_->iconLabel, IconMeaning::Warning);
    TieCaptionsToValues(*this);
    ui_->introLabel->setText(UiText(strings::kUntrustedServerText));
    ui_->hostLabel->setText(UiText(strings::kUntrustedServerHostLabel));
    ui_->hostValue->setText(ToQString(host));
    ui_->subjectLabel->setText(UiText(strings::kSubjectLabel));
    ui_->issuerLabel->setText(UiText(strings::kIssuerLabel));
    ui_->validFromLabel->setText(UiText(strings::kValidFromLabel));
    ui_->validToLabel->setText(UiText(strings::kValidToLabel));
    ui_->fingerprintLabel->setText(UiText(strings::kSha256FingerprintLabel));
    ui_->reasonLabel->setText(UiText(strings::kUntrustedServerReasonLabel));
    ui_->questionLabel->setText(UiText(strings::kUntrustedServerQuestion));
    ui_->yesButton->setText(UiText(strings::kYesButton));
    ui_->noButton->setText(UiText(strings::kNoButton));

    if (const auto summary = SummarizeCertificate(certificate)) {
        ui_->subjectValue->setText(summary->subject);
        ui_->issuerValue->setText(summary->issuer);
        ui_->validFromValue->setText(FormatValidityTime(summary->validFrom));
        ui_->validToValue->setText(FormatValidityTime(summary->validTo));
        ui_->fingerprintValue->setText(TwoLines(summary->sha256Fingerprint));
    }
    ui_->reasonValue->setText(VerifyReasonText(reason));

    connect(ui_->yesButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui_->noButton, &QPushButton::clicked, this, &QDialog::reject);
    MakeRoomForAccents(this);
    ui_->noButton->setFocus();
    setMinimumWidth(560);
    adjustSize();
}

ServerTrustDialog::~ServerTrustDialog() = default;

}  // namespace nerolin
