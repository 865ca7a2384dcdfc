// Enter presses the button that has the keyboard focus, in every dialog; the
// default button answers only while the focus is elsewhere. Keys are pressed
// as a user presses them, at the focused widget of the active window.

#include <functional>
#include <memory>
#include <string>

#include <gtest/gtest.h>
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>

#include "app/ui/AboutDialog.h"
#include "app/ui/CertificateDetailsDialog.h"
#include "app/ui/CertificateSummary.h"
#include "app/ui/PinDialog.h"
#include "app/ui/ProxyDialog.h"
#include "app/ui/SelectCertificateDialog.h"
#include "app/ui/ServerTrustDialog.h"
#include "platform/Settings.h"
#include "tests/support/app/DialogDriver.h"
#include "tests/support/TempHome.h"
#include "tests/support/TestPki.h"

namespace nerolin::test {
namespace {

std::vector<Bytes> Certificates()
{
    return {LoadCertificateDer(SigningIdentity("rsa").certificateDer),
            LoadCertificateDer(SigningIdentity("ec").certificateDer)};
}

Bytes ServerCertificate() { return LoadCertificateDer(ServiceHost("service-selfsigned").chainPem); }

struct Window {
    const char* name;
    std::function<std::unique_ptr<QDialog>()> make;
};

std::vector<Window> Windows(SettingsKey& key)
{
    return {
        {"certificate choice", [] { return std::make_unique<SelectCertificateDialog>(Certificates(), nullptr); }},
        {"certificate details",
         [] {
             return std::make_unique<CertificateDetailsDialog>(*SummarizeCertificate(Certificates().front()), nullptr);
         }},
        {"untrusted server",
         [] { return std::make_unique<ServerTrustDialog>("service.example", ServerCertificate(), "reason", nullptr); }},
        {"PIN", [] { return std::make_unique<PinDialog>(PinRequest{.target = "Token"}, nullptr); }},
        {"proxy settings", [&key] { return std::make_unique<ProxyDialog>(key, false); }},
        {"About", [] { return std::make_unique<AboutDialog>(nullptr); }},
    };
}

TEST(EnterKey, EveryPushButtonOfEveryDialogTakesEnterWhenFocused)
{
    TempHome home;
    SettingsKey key = SettingsKey::OpenUser();
    for (const Window& window : Windows(key)) {
        auto dialog = window.make();
        for (QPushButton* button : dialog->findChildren<QPushButton*>()) {
            EXPECT_TRUE(button->autoDefault()) << window.name << ": " << button->objectName().toStdString();
        }
    }
}

TEST(EnterKey, EnterOnTheFocusedButtonPressesItInsteadOfTheDefault)
{
    TempHome home;
    SettingsKey key = SettingsKey::OpenUser();
    struct Case {
        const char* name;
        std::function<std::unique_ptr<QDialog>()> make;
        const char* button;
        QDialog::DialogCode result;
    };
    const Case cases[] = {
        {"certificate choice, Cancel",
         [] { return std::make_unique<SelectCertificateDialog>(Certificates(), nullptr); }, "cancelButton",
         QDialog::Rejected},
        {"untrusted server, Yes",
         [] { return std::make_unique<ServerTrustDialog>("service.example", ServerCertificate(), "reason", nullptr); },
         "yesButton", QDialog::Accepted},
        {"untrusted server, No",
         [] { return std::make_unique<ServerTrustDialog>("service.example", ServerCertificate(), "reason", nullptr); },
         "noButton", QDialog::Rejected},
        {"PIN, Cancel", [] { return std::make_unique<PinDialog>(PinRequest{.target = "Token"}, nullptr); },
         "cancelButton", QDialog::Rejected},
        {"proxy settings, Cancel", [&key] { return std::make_unique<ProxyDialog>(key, false); }, "cancelButton",
         QDialog::Rejected},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto dialog = c.make();
        ASSERT_TRUE(Activate(dialog.get()));
        dialog->findChild<QPushButton*>(c.button)->setFocus(Qt::TabFocusReason);
        Press(Qt::Key_Return);
        EXPECT_FALSE(dialog->isVisible());
        EXPECT_EQ(dialog->result(), c.result);
    }
    // The certificate choice closed by a focused Cancel chose nothing.
    SelectCertificateDialog choice(Certificates(), nullptr);
    ASSERT_TRUE(Activate(&choice));
    choice.findChild<QPushButton*>("cancelButton")->setFocus(Qt::TabFocusReason);
    Press(Qt::Key_Enter);
    EXPECT_EQ(choice.Choice(), std::nullopt);
    // The untrusted server is declined by Enter where the dialog opens.
    ServerTrustDialog trust("service.example", ServerCertificate(), "reason", nullptr);
    ASSERT_TRUE(Activate(&trust));
    Press(Qt::Key_Return);
    EXPECT_EQ(trust.result(), QDialog::Rejected);
}

TEST(EnterKey, TheProxyDialogOpensInTheUrlFieldSoKeysTypeRatherThanSave)
{
    TempHome home;
    SettingsKey key = SettingsKey::OpenUser();
    key.WriteText(setting::kProxyUrl, "http://proxy.example:3128");
    key.Sync();
    ProxyDialog dialog(key, false);
    ASSERT_TRUE(Activate(&dialog));
    auto* url = dialog.findChild<QLineEdit*>("urlEdit");
    EXPECT_EQ(QApplication::focusWidget(), url);
    Press(Qt::Key_End);
    Press(Qt::Key_Space);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(url->text(), "http://proxy.example:3128 ");
    EXPECT_EQ(key.ReadText(setting::kProxyUrl), "http://proxy.example:3128");
}

}  // namespace
}  // namespace nerolin::test
