#include "app/ui/ProxyDialog.h"

#include <openssl/crypto.h>

#include <optional>

#include "app/ui/SecretInput.h"
#include "app/ui/UiText.h"
#include "common/SecretString.h"
#include "common/StringIds.h"
#include "platform/Settings.h"
#include "ui_ProxyDialog.h"

namespace nerolin {
namespace {

// The password leaves the widget once, into the wiped buffer; the transient
// copies are overwritten before they are freed. Empty when it is longer than
// a secret holds: the widget then keeps it, for the user to shorten.
std::optional<SecretString> TakeSecret(QLineEdit& edit)
{
    QString typed = edit.text();
    QByteArray utf8 = typed.toUtf8();
    std::optional<SecretString> secret(std::in_place);
    const bool whole = secret->Assign(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
    OPENSSL_cleanse(utf8.data(), static_cast<std::size_t>(utf8.size()));
    typed.fill(QChar(u'\0'));
    if (!whole) return std::nullopt;
    edit.clear();
    return secret;
}

}  // namespace

ProxyDialog::ProxyDialog(SettingsKey& key, bool machineWide, QWidget* parent)
    : QDialog(parent),
      ui_(std::make_unique<Ui::ProxyDialog>()),
      key_(key),
      machineWide_(machineWide)
{
    ui_->setupUi(this);
    setWindowTitle(UiText(strings::kProxyTitle));
    ui_->urlLabel->setText(UiText(strings::kProxyUrlLabel));
    ui_->usernameLabel->setText(UiText(strings::kProxyUsernameLabel));
    ui_->passwordLabel->setText(UiText(strings::kProxyPasswordLabel));
    ui_->okButton->setText(UiText(strings::kProxyOk));
    ui_->cancelButton->setText(UiText(strings::kProxyCancel));

    ui_->urlEdit->setText(ToQString(key.ReadText(setting::kProxyUrl).value_or("")));
    ui_->usernameEdit->setText(ToQString(key.ReadText(setting::kProxyUsername).value_or("")));
    // Shown masked but present, so that OK keeps it.
    SecretString password;
    if (ReadProxyPassword(key, machineWide, password)) {
        ui_->passwordEdit->setText(QString::fromUtf8(password.data(), static_cast<qsizetype>(password.size())));
    }
    ui_->urlEdit->setCursorPosition(0);
    ui_->usernameEdit->setCursorPosition(0);
    ui_->passwordEdit->setCursorPosition(0);
    connect(ui_->okButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui_->cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    // The URL first: with OK focused, a stray space would store the fields
    // as they stand.
    ui_->urlEdit->setFocus();
    adjustSize();
}

ProxyDialog::~ProxyDialog() = default;

void ProxyDialog::accept()
{
    // An emptied URL is stored as the empty text: in the user's file that
    // means "no proxy", whatever the machine file says.
    const std::optional<SecretString> password = TakeSecret(*ui_->passwordEdit);
    if (!password) {
        ShowSecretTooLong();
        return;
    }
    key_.WriteText(setting::kProxyUrl, ui_->urlEdit->text().toStdString());
    key_.WriteText(setting::kProxyUsername, ui_->usernameEdit->text().toStdString());
    WriteProxyPassword(key_, machineWide_, *password);
    key_.Sync();
    QDialog::accept();
}

void EditUserProxySettings(QWidget* parent)
{
    SettingsKey key = SettingsKey::OpenUser();
    ProxyDialog dialog(key, false, parent);
    dialog.exec();
}

bool EditMachineProxySettings()
{
    auto key = SettingsKey::OpenMachineForWriting();
    if (!key) {
        return false;
    }
    ProxyDialog dialog(*key, true);
    dialog.exec();
    return true;
}

}  // namespace nerolin
