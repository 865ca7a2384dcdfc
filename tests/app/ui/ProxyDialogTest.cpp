// The proxy dialog reading and writing the user's and the machine's
// settings files, with the password protected in each file's scope.

#include <string>

#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSettings>
#include <QToolButton>

#include <gtest/gtest.h>

#include "app/ui/MainWindow.h"
#include "app/ui/ProxyDialog.h"
#include "platform/DataProtection.h"
#include "platform/Settings.h"
#include "session/SigningSession.h"
#include "tests/support/app/DialogDriver.h"
#include "tests/support/ScriptedPrompts.h"
#include "tests/support/TempHome.h"

namespace nerolin::test {
namespace {

class ProxyDialogTest : public ::testing::Test {
protected:
    struct Fields {
        std::string url, username, password;
    };

    static QLineEdit* Edit(ProxyDialog& dialog, const char* name) { return dialog.findChild<QLineEdit*>(name); }

    static Fields Shown(ProxyDialog& dialog)
    {
        return {Edit(dialog, "urlEdit")->text().toStdString(), Edit(dialog, "usernameEdit")->text().toStdString(),
                Edit(dialog, "passwordEdit")->text().toStdString()};
    }

    static void Type(ProxyDialog& dialog, const Fields& fields)
    {
        Edit(dialog, "urlEdit")->setText(QString::fromStdString(fields.url));
        Edit(dialog, "usernameEdit")->setText(QString::fromStdString(fields.username));
        Edit(dialog, "passwordEdit")->setText(QString::fromStdString(fields.password));
    }

    // What the HTTP exchange would use.
    static Fields InUse()
    {
        Fields fields;
        const bool machineWide = ReadProxyUrl(fields.url);
        SecretString password;
        ReadProxyCredentials(machineWide, fields.username, password);
        fields.password.assign(password.view());
        return fields;
    }

    static Bytes StoredBlob(const std::filesystem::path& file)
    {
        const QByteArray data =
            QSettings(QString::fromStdString(file.string()), QSettings::IniFormat).value("ProxyPassword").toByteArray();
        return Bytes(data.begin(), data.end());
    }

    TempHome home;
};

TEST_F(ProxyDialogTest, UserScopeShowsAndStoresTheThreeValues)
{
    {
        auto key = SettingsKey::OpenUser();
        key.WriteText(setting::kProxyUrl, "http://proxy.example:3128");
        key.WriteText(setting::kProxyUsername, "anna");
        WriteProxyPassword(key, false, SecretString("old secret"));
        key.Sync();
    }
    auto key = SettingsKey::OpenUser();
    ProxyDialog dialog(key, false);
    const Fields shown = Shown(dialog);
    EXPECT_EQ(shown.url, "http://proxy.example:3128");
    EXPECT_EQ(shown.username, "anna");
    EXPECT_EQ(shown.password, "old secret");
    EXPECT_EQ(Edit(dialog, "passwordEdit")->echoMode(), QLineEdit::Password);

    Type(dialog, {"not even a url", "béla", "új jelszó ő"});
    dialog.accept();
    const Fields used = InUse();
    EXPECT_EQ(used.url, "not even a url");
    EXPECT_EQ(used.username, "béla");
    EXPECT_EQ(used.password, "új jelszó ő");
    // Protected for this user only.
    const Bytes blob = StoredBlob(home.UserSettings());
    EXPECT_TRUE(Unprotect(Scope::User, blob));
    EXPECT_FALSE(Unprotect(Scope::Machine, blob));
}

TEST_F(ProxyDialogTest, MachineScopeWritesTheMachineFileForEveryUser)
{
    TempHome::WriteFile(home.MachineSettings(), "[General]\nProxyURL=http://old.example\n");
    EXPECT_FALSE(std::filesystem::exists(home.UserSettings()));
    auto key = SettingsKey::OpenMachineForWriting();
    ASSERT_TRUE(key);
    ProxyDialog dialog(*key, true);
    EXPECT_EQ(Shown(dialog).url, "http://old.example");
    Type(dialog, {"http://proxy.corp:8080", "svc", "machine pass"});
    dialog.accept();

    // No user file, so the machine's values are the ones in use.
    const Fields used = InUse();
    EXPECT_EQ(used.url, "http://proxy.corp:8080");
    EXPECT_EQ(used.username, "svc");
    EXPECT_EQ(used.password, "machine pass");
    const Bytes blob = StoredBlob(home.MachineSettings());
    EXPECT_TRUE(Unprotect(Scope::Machine, blob));
    EXPECT_FALSE(Unprotect(Scope::User, blob));
    EXPECT_FALSE(std::filesystem::exists(home.UserSettings()));
}

TEST_F(ProxyDialogTest, OkInTheUserScopeHidesTheMachineProxy)
{
    TempHome::WriteFile(home.MachineSettings(), "[General]\nProxyURL=http://machine.example\nProxyUsername=m\n");
    auto key = SettingsKey::OpenUser();
    ProxyDialog dialog(key, false);
    const Fields shown = Shown(dialog);
    EXPECT_EQ(shown.url, "");
    EXPECT_EQ(shown.username, "");
    dialog.accept();

    std::string url = "unchanged";
    EXPECT_FALSE(ReadProxyUrl(url));  // the user's empty URL wins
    EXPECT_EQ(url, "");
    // The empty password is stored as zero bytes and reads back as none.
    EXPECT_TRUE(StoredBlob(home.UserSettings()).empty());
    SecretString password("kept");
    EXPECT_FALSE(ReadProxyPassword(SettingsKey::OpenUser(), false, password));
    EXPECT_EQ(password.view(), "kept");
}

TEST_F(ProxyDialogTest, OkWithoutChangesProtectsThePasswordAnew)
{
    {
        auto key = SettingsKey::OpenUser();
        key.WriteText(setting::kProxyUrl, "http://p");
        WriteProxyPassword(key, false, SecretString("same"));
        key.Sync();
    }
    const Bytes before = StoredBlob(home.UserSettings());
    auto key = SettingsKey::OpenUser();
    ProxyDialog dialog(key, false);
    dialog.accept();
    const Bytes after = StoredBlob(home.UserSettings());
    EXPECT_NE(before, after);
    EXPECT_EQ(InUse().password, "same");
}

TEST_F(ProxyDialogTest, CancelWritesNothing)
{
    TempHome::WriteFile(home.UserSettings(), "[General]\nProxyURL=http://p\nProxyUsername=u\n");
    const std::string before = TempHome::ReadFile(home.UserSettings());
    auto key = SettingsKey::OpenUser();
    ProxyDialog dialog(key, false);
    Type(dialog, {"", "", "x"});
    dialog.reject();
    EXPECT_EQ(TempHome::ReadFile(home.UserSettings()), before);
}

TEST_F(ProxyDialogTest, TabOrderRunsFromTheUrlThroughTheFieldsToOkAndCancel)
{
    auto key = SettingsKey::OpenUser();
    ProxyDialog dialog(key, false);
    dialog.show();
    const std::vector<QWidget*> expected = {
        Edit(dialog, "urlEdit"),
        Edit(dialog, "usernameEdit"),
        Edit(dialog, "passwordEdit"),
        dialog.findChild<QPushButton*>("okButton"),
        dialog.findChild<QPushButton*>("cancelButton"),
    };
    // The widgets Tab visits, in the chain's order, starting at the URL.
    std::vector<QWidget*> visited;
    QWidget* widget = expected.front();
    do {
        if ((widget->focusPolicy() & Qt::TabFocus) && widget->isVisible() && widget->isEnabled()) {
            visited.push_back(widget);
        }
        widget = widget->nextInFocusChain();
    } while (widget != expected.front() && visited.size() < 20);
    EXPECT_EQ(visited, expected);
    EXPECT_EQ(dialog.focusWidget(), expected.front());
    EXPECT_TRUE(dialog.findChild<QPushButton*>("okButton")->isDefault());
}

TEST_F(ProxyDialogTest, TheMainWindowsMenuEditsTheUsersFile)
{
    TempHome::WriteFile(home.MachineSettings(), "[General]\nProxyURL=http://machine.example\n");
    SigningSession session;
    MainWindow window(&session);
    QAction* command = nullptr;
    for (QAction* action : window.findChild<QToolButton*>("menuButton")->menu()->actions()) {
        if (action->text() == "&Proxy settings...") command = action;
    }
    ASSERT_NE(command, nullptr);
    AnswerNextDialog<ProxyDialog>([](ProxyDialog* dialog) {
        Type(*dialog, {"http://user.example:8080", "me", "pw"});
        dialog->accept();
    });
    command->trigger();
    std::string url;
    EXPECT_FALSE(ReadProxyUrl(url));
    EXPECT_EQ(url, "http://user.example:8080");
    EXPECT_EQ(InUse().password, "pw");
}

TEST_F(ProxyDialogTest, MachineScopeNeedsAnExistingMachineFile)
{
    EXPECT_FALSE(EditMachineProxySettings());
    EXPECT_FALSE(std::filesystem::exists(home.MachineSettings()));
}

TEST_F(ProxyDialogTest, APasswordIsStoredWholeOrRefusedWithAMessage)
{
    auto prompts = std::make_shared<ScriptedPrompts>();
    SetUserPrompts(prompts);
    auto key = SettingsKey::OpenUser();
    const std::string longest(SecretString::kCapacity, 'p');
    for (const std::string& password : {std::string(300, 'q'), longest}) {
        ProxyDialog dialog(key, false);
        Type(dialog, {"http://proxy.example:3128", "anna", password});
        dialog.accept();
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
        EXPECT_EQ(InUse().password, password);
    }
    EXPECT_TRUE(prompts->Messages().empty());

    ProxyDialog dialog(key, false);
    Type(dialog, {"http://other.example", "bela", longest + "p"});
    dialog.accept();
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(prompts->Messages(), std::vector<std::string>{"The entry is too long: at most 4096 bytes can be used."});
    // Nothing was stored, and the text stays for the user to shorten.
    EXPECT_EQ(InUse().url, "http://proxy.example:3128");
    EXPECT_EQ(InUse().password, longest);
    EXPECT_EQ(Shown(dialog).password, longest + "p");
    SetUserPrompts(nullptr);
}

}  // namespace
}  // namespace nerolin::test
