#include "app/ui/PinDialog.h"

#include <openssl/crypto.h>

#include "app/ui/SecretInput.h"
#include "app/ui/UiText.h"
#include "common/StringIds.h"
#include "ui_PinDialog.h"

namespace nerolin {

PinDialog::PinDialog(const std::string& target, QWidget* parent)
    : QDialog(parent),
      ui_(std::make_unique<Ui::PinDialog>())
{
    ui_->setupUi(this);
    setWindowTitle(UiText(strings::kPinTitle));
    ui_->targetLabel->setText(UiText(strings::kPinTargetLabel));
    ui_->pinLabel->setText(UiText(strings::kPinLabel));
    ui_->okButton->setText(UiText(strings::kPinOk));
    ui_->cancelButton->setText(UiText(strings::kPinCancel));
    ui_->targetEdit->setText(ToQString(target));
    ui_->targetEdit->setCursorPosition(0);
    ui_->pinEdit->setFocus();
    connect(ui_->okButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui_->cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    adjustSize();
}

PinDialog::~PinDialog() = default;

void PinDialog::accept()
{
    // The PIN leaves the widget once, into the wiped buffer; the transient
    // copies are overwritten before they are freed.
    QString typed = ui_->pinEdit->text();
    QByteArray utf8 = typed.toUtf8();
    const bool whole = pin_.Assign(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
    OPENSSL_cleanse(utf8.data(), static_cast<std::size_t>(utf8.size()));
    typed.fill(QChar(u'\0'));
    if (!whole) {
        ShowSecretTooLong();  // the field keeps the text, for the user to shorten
        return;
    }
    ui_->pinEdit->clear();
    QDialog::accept();
}

}  // namespace nerolin
