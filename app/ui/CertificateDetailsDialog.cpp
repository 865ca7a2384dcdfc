#include "app/ui/CertificateDetailsDialog.h"

#include <QPushButton>

#include "app/ui/AccentRoom.h"
#include "app/ui/AccessibleNames.h"
#include "app/ui/UiText.h"
#include "common/StringIds.h"
#include "ui_CertificateDetailsDialog.h"

namespace nerolin {

CertificateDetailsDialog::CertificateDetailsDialog(const CertificateSummary& summary, QWidget* parent)
    : QDialog(parent),
      ui_(std::make_unique<Ui::CertificateDetailsDialog>())
{
    ui_->setupUi(this);
    setWindowTitle(UiText(strings::kCertificateDetailsTitle));
    ui_->subjectLabel->setText(UiText(strings::kSubjectLabel));
    ui_->issuerLabel->setText(UiText(strings::kIssuerLabel));
    ui_->serialNumberLabel->setText(UiText(strings::kSerialNumberLabel));
    ui_->validFromLabel->setText(UiText(strings::kValidFromLabel));
    ui_->validToLabel->setText(UiText(strings::kValidToLabel));
    ui_->fingerprintLabel->setText(UiText(strings::kSha256FingerprintLabel));
    ui_->okButton->setText(UiText(strings::kMessageBoxOk));

    ui_->subjectValue->setText(summary.subject);
    ui_->issuerValue->setText(summary.issuer);
    ui_->serialNumberValue->setText(summary.serialNumber);
    ui_->validFromValue->setText(FormatValidityTime(summary.validFrom));
    ui_->validToValue->setText(FormatValidityTime(summary.validTo));
    ui_->fingerprintValue->setText(TwoLines(summary.sha256Fingerprint));
    ui_->keyLabel->setText(UiText(strings::kKeyLabel));
    ui_->keyValue->setText(summary.key);
    ui_->keyUsageLabel->setText(UiText(strings::kKeyUsageLabel));
    ui_->keyUsageValue->setText(summary.keyUsage);
    ui_->keyUsageLabel->setVisible(!summary.keyUsage.isEmpty());
    ui_->keyUsageValue->setVisible(!summary.keyUsage.isEmpty());
    TieCaptionsToValues(*this);
    connect(ui_->okButton, &QPushButton::clicked, this, &QDialog::accept);
    MakeRoomForAccents(this);
    setMinimumWidth(560);
    adjustSize();
}

CertificateDetailsDialog::~CertificateDetailsDialog() = default;

}  // namespace nerolin
