#include "app/ui/PinDialog.h"

#include <algorithm>

#include <openssl/crypto.h>
#include <QStyle>

#include "app/ui/AccessibleNames.h"
#include "app/ui/SecretInput.h"
#include "app/ui/UiText.h"
#include "common/StringIds.h"
#include "ui_PinDialog.h"

namespace nerolin {
namespace {

// The lines above the fields, most pressing first.
QStringList NoticeLines(const PinRequest& request)
{
    QStringList lines;
    if (request.finalTry) {
        lines << UiText(strings::kPinFinalTry);
    } else if (request.fewTriesLeft) {
        lines << UiText(strings::kPinFewTriesLeft);
    }
    if (request.kind == PinRequest::Kind::SigningKey) {
        lines << UiText(strings::kPinSigningKeyNotice);
    }
    if (request.pinPad) {
        lines << UiText(strings::kPinPadNotice);
    }
    return lines;
}

}  // namespace

PinDialog::PinDialog(const PinRequest& request, QWidget* parent)
    : QDialog(parent),
      ui_(std::make_unique<Ui::PinDialog>()),
      pinPad_(request.pinPad)
{
    ui_->setupUi(this);
    setWindowTitle(UiText(strings::kPinTitle));
    ui_->targetLabel->setText(UiText(strings::kPinTargetLabel));
    ui_->holderLabel->setText(UiText(strings::kPinHolderLabel));
    ui_->pinLabel->setText(UiText(strings::kPinLabel));
    ui_->okButton->setText(UiText(strings::kPinOk));
    ui_->cancelButton->setText(UiText(strings::kPinCancel));
    ui_->targetEdit->setText(ToQString(request.target));
    ui_->targetEdit->setCursorPosition(0);
    ui_->holderEdit->setText(ToQString(request.holder));
    ui_->holderEdit->setCursorPosition(0);
    ui_->holderLabel->setVisible(!request.holder.empty());
    ui_->holderEdit->setVisible(!request.holder.empty());

    const QStringList notice = NoticeLines(request);
    ui_->noticeLabel->setText(notice.join(QLatin1Char('\n')));
    ui_->noticeLabel->setVisible(!notice.isEmpty());
    const bool warning = request.fewTriesLeft || request.finalTry;
    if (warning) {
        const int size = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
        ui_->noticeIcon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(size, size));
        NameIcon(*ui_->noticeIcon, IconMeaning::Warning);
    }
    ui_->noticeIcon->setVisible(warning);

    // A PIN pad takes the PIN itself: nothing may be typed here.
    ui_->pinLabel->setVisible(!request.pinPad);
    ui_->pinEdit->setVisible(!request.pinPad);
    ui_->pinEdit->setEnabled(!request.pinPad);
    if (request.pinPad) {
        ui_->okButton->setFocus();
    } else {
        ui_->pinEdit->setFocus();
    }
    // A stray Enter on an empty field would cost the card a try: OK waits for
    // a PIN. Any PIN that is not empty goes to the token as typed.
    if (!request.pinPad) {
        ui_->okButton->setEnabled(false);
        connect(ui_->pinEdit, &QLineEdit::textChanged, ui_->okButton,
                [this](const QString& text) { ui_->okButton->setEnabled(!text.isEmpty()); });
    }
    connect(ui_->okButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui_->cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    // Room for a long token name and PIN in the font in use, not in pixels.
    setMinimumWidth(std::max(minimumWidth(), 48 * fontMetrics().averageCharWidth()));
    ui_->targetEdit->setToolTip(ui_->targetEdit->text());
    adjustSize();
}

PinDialog::~PinDialog() = default;

void PinDialog::accept()
{
    if (pinPad_) {
        QDialog::accept();  // the reader takes the PIN: the answer is the empty one
        return;
    }
    if (ui_->pinEdit->text().isEmpty()) {
        return;  // Enter with OK disabled still reaches here
    }
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
