// Takes the pictures of docs/screenshots: the main window and the dialogs as
// the user sees them, in English and Hungarian, on Qt's offscreen platform
// against the reference service, and the main window on a dark palette.

#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QMetaObject>
#include <QPalette>
#include <QPushButton>

#include "app/ui/AboutDialog.h"
#include "app/ui/CertificateDetailsDialog.h"
#include "app/ui/CertificateSummary.h"
#include "app/ui/PinDialog.h"
#include "app/ui/ProxyDialog.h"
#include "app/ui/QrCodeDialog.h"
#include "app/ui/QtPrompts.h"
#include "app/ui/QtTranslations.h"
#include "app/ui/SelectCertificateDialog.h"
#include "app/ui/ServerTrustDialog.h"
#include "common/StringIds.h"
#include "common/StringTable.h"
#include "platform/qt/QSettingsStore.h"
#include "platform/Settings.h"
#include "tests/support/app/DialogDriver.h"
#include "tests/support/app/SessionWindow.h"
#include "tests/support/TestPki.h"

namespace nerolin::test {
namespace {

const char* kDocuments =
    R"("documents":[{"name":"Contract 2026-114.pdf","downloadUrl":"https://documents.example.org/contract-2026-114.pdf"},)"
    R"({"name":"Annex A - price list.xlsx","downloadUrl":"https://documents.example.org/annex-a.xlsx"},)"
    R"({"name":"Terms.txt","downloadUrl":"http://documents.example.org/terms.txt"}])";

std::string Request(const char* mode)
{
    return std::string(R"({"mode":")") + mode +
           R"(","SPName":"Example Bank Ltd.","message":"Please sign the contract and its annex.\nThe offer is valid until 31 December.",)" +
           kDocuments + "}";
}

// With NEROLIN_WALK_PAUSE set, each picture's window stays up, its event
// loop running, until a line arrives on standard input: the accessibility
// walk (tests/app/accessibility) reads the window's tree meanwhile.
void PauseForWalk(QWidget* widget, const QString& path)
{
    if (std::getenv("NEROLIN_WALK_PAUSE") == nullptr) {
        return;
    }
    widget->show();
    std::printf("walk %s\n", qPrintable(QFileInfo(path).completeBaseName()));
    std::fflush(stdout);
    pollfd input{STDIN_FILENO, POLLIN, 0};
    while (poll(&input, 1, 20) == 0) {
        QCoreApplication::processEvents();
    }
    char line[16];
    if (read(STDIN_FILENO, line, sizeof line) <= 0) {
        std::exit(3);  // the walk has gone
    }
}

bool Save(QWidget* widget, const QString& path)
{
    const bool saved = widget->grab().save(path);
    std::printf("%s %s\n", saved ? "wrote" : "FAILED", qPrintable(path));
    PauseForWalk(widget, path);
    return saved;
}

int Take(const QString& directory, const char* language)
{
    setenv("LANGUAGE", language, 1);
    nerolin::FollowLanguageInFormats();
    const QString suffix = QStringLiteral("-%1.png").arg(language);
    int failures = 0;
    DevService service;
    if (!service.Running()) {
        std::fprintf(stderr, "reference service did not start:\n%s\n", service.Log().c_str());
        return 1;
    }
    WriteUserSetting(setting::kStartSigningImmediately, 0);
    WriteUserSetting(setting::kSkipUpdateCheckOnEnd, 1);

    {  // started from the desktop's menu, without a session
        SigningSession none;
        MainWindow window(&none);
        window.show();
        failures += !Save(&window, directory + "/main-no-session" + suffix);
    }
    {  // ready, then while signing, then finished
        WriteUserSetting(setting::kAutomaticallyClose, 0);
        std::atomic<bool> shot{false};
        SessionWindow* self = nullptr;
        ProviderScript script;
        script.hashResult = [&](int index) {
            if (index == 1) {
                QMetaObject::invokeMethod(
                    &self->Window(), [&] { failures += !Save(&self->Window(), directory + "/main-signing" + suffix); },
                    Qt::BlockingQueuedConnection);
                shot = true;
            }
            return SigningResult::Success;
        };
        SessionWindow run(service, Request("SIGN"), script);
        self = &run;
        run.WaitUntilLoaded();
        failures += !Save(&run.Window(), directory + "/main" + suffix);
        run.ClickStart();
        run.WaitUntilFinished();
        failures += !Save(&run.Window(), directory + "/main-finished" + suffix);
        failures += !shot;
    }
    {  // a session that failed, as its status line says
        WriteUserSetting(setting::kAutomaticallyClose, 0);
        ProviderScript script;
        script.hashResult = [](int) { return SigningResult::PinIncorrect; };
        SessionWindow run(service, Request("SIGN"), script);
        run.WaitUntilLoaded();
        run.ClickStart();
        run.WaitUntilFinished();
        failures += !Save(&run.Window(), directory + "/main-failed" + suffix);
    }
    {  // the layout without documents
        SessionWindow run(
            service,
            R"({"mode":"SELECT_CERTIFICATE","SPName":"Example Bank Ltd.","message":"Choose the certificate for your account."})");
        run.WaitUntilLoaded();
        failures += !Save(&run.Window(), directory + "/main-select-certificate" + suffix);
    }
    {  // the dialogs of the worker
        QtPrompts prompts;
        AnswerNextDialog<SelectCertificateDialog>([&](SelectCertificateDialog* dialog) {
            failures += !Save(dialog, directory + "/select-certificate" + suffix);
            dialog->reject();
        });
        prompts.ChooseCertificate({LoadCertificateDer(SigningIdentity("rsa").certificateDer),
                                   LoadCertificateDer(SigningIdentity("ec").certificateDer)},
                                  true);
        SetPromptServiceProvider(QStringLiteral("Example Bank Ltd."));
        AnswerNextDialog<SelectCertificateDialog>([&](SelectCertificateDialog* dialog) {
            failures += !Save(dialog, directory + "/select-certificate-none" + suffix);
            dialog->reject();
        });
        prompts.ChooseCertificate({}, true);
        SetPromptServiceProvider({});
        AnswerNextDialog<QMessageBox>([&](QMessageBox* box) {
            failures += !Save(box, directory + "/message-bad-pin" + suffix);
            box->reject();
        });
        prompts.ShowMessage(LoadString(strings::kBadPin), MessageIcon::Error);
        {
            CertificateDetailsDialog details(
                *SummarizeCertificate(LoadCertificateDer(SigningIdentity("rsa").certificateDer)), nullptr);
            details.show();
            failures += !Save(&details, directory + "/certificate-details" + suffix);
        }
        const std::string holder =
            "Anna Kov\xC3\xA1"
            "cs";
        const std::pair<const char*, PinRequest> pins[] = {
            {"/pin", {PinRequest::Kind::Token, "Nerolin Test Token", holder}},
            {"/pin-last-try", {PinRequest::Kind::Token, "Nerolin Test Token", holder, true, true}},
            {"/pin-signing-key", {PinRequest::Kind::SigningKey, "Qualified signature key", holder}},
            {"/pin-pad", {PinRequest::Kind::Token, "Nerolin Card", holder, false, false, true}},
        };
        for (const auto& [name, request] : pins) {
            AnswerNextDialog<PinDialog>([&, name = name](PinDialog* dialog) {
                failures += !Save(dialog, directory + name + suffix);
                dialog->reject();
            });
            prompts.AskPin(request);
        }
        AnswerNextDialog<ServerTrustDialog>([&](ServerTrustDialog* dialog) {
            failures += !Save(dialog, directory + "/untrusted-server" + suffix);
            dialog->reject();
        });
        prompts.TrustServerCertificate("localhost", LoadCertificateDer(ServiceHost("service-selfsigned").chainPem),
                                       "self-signed certificate");
    }
    {  // mobile signing and the proxy settings
        SessionWindow run(service, Request("SELECT_CERTIFICATE_AND_SIGN"));
        run.WaitUntilLoaded();
        AnswerNextDialog<QrCodeDialog>([&](QrCodeDialog* dialog) {
            ProcessEventsUntil([&] { return !dialog->findChild<QLabel*>("stateLabel")->text().isEmpty(); });
            failures += !Save(dialog, directory + "/qr-code" + suffix);
            dialog->reject();
        });
        run.Window().findChild<QPushButton*>("signWithMobileButton")->click();

        SettingsKey key = SettingsKey::OpenUser();
        key.WriteText(setting::kProxyUrl, "http://proxy.example.org:3128");
        key.WriteText(setting::kProxyUsername, "anna.kovacs");
        WriteProxyPassword(key, false, SecretString("example password"));
        key.Sync();
        {
            ProxyDialog proxy(key, false);
            proxy.show();
            failures += !Save(&proxy, directory + "/proxy" + suffix);
        }
        // The pictures' proxy does not exist: the next sessions go direct.
        key.WriteText(setting::kProxyUrl, "");
        key.Sync();
    }
    {
        AboutDialog about(nullptr);
        about.show();
        failures += !Save(&about, directory + "/about" + suffix);
    }
    return failures;
}

// The finished window once more on a dark palette: names, links and the
// status line take the palette's colours.
int TakeDark(const QString& directory)
{
    setenv("LANGUAGE", "en", 1);
    DevService service;
    if (!service.Running()) return 1;
    const QPalette light = QApplication::palette();
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(45, 45, 48));
    dark.setColor(QPalette::WindowText, QColor(230, 230, 230));
    dark.setColor(QPalette::Base, QColor(30, 30, 32));
    dark.setColor(QPalette::AlternateBase, QColor(40, 40, 44));
    dark.setColor(QPalette::Text, QColor(230, 230, 230));
    dark.setColor(QPalette::Button, QColor(55, 55, 60));
    dark.setColor(QPalette::ButtonText, QColor(230, 230, 230));
    dark.setColor(QPalette::Highlight, QColor(61, 142, 201));
    dark.setColor(QPalette::HighlightedText, Qt::white);
    dark.setColor(QPalette::Link, QColor(120, 180, 255));
    dark.setColor(QPalette::Disabled, QPalette::Text, QColor(130, 130, 130));
    dark.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(130, 130, 130));
    dark.setColor(QPalette::Disabled, QPalette::WindowText, QColor(130, 130, 130));
    QApplication::setPalette(dark);
    WriteUserSetting(setting::kAutomaticallyClose, 0);
    int failures = 0;
    {
        SessionWindow run(service, Request("SIGN"));
        run.WaitUntilLoaded();
        run.ClickStart();
        run.WaitUntilFinished();
        failures += !Save(&run.Window(), directory + "/main-dark-en.png");
    }
    QApplication::setPalette(light);
    return failures;
}

}  // namespace
}  // namespace nerolin::test

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: nerolin-screenshots DIR\n");
        return 2;
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    char home[] = "/tmp/nerolin-screenshots-XXXXXX";
    if (mkdtemp(home) == nullptr) {
        return 2;
    }
    const std::string base = home;
    setenv("HOME", home, 1);
    setenv("XDG_CONFIG_HOME", (base + "/config").c_str(), 1);
    setenv("XDG_DATA_HOME", (base + "/data").c_str(), 1);
    setenv("XDG_STATE_HOME", (base + "/state").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", home, 1);
    QApplication app(argc, argv);
    nerolin::InstallQSettingsStore();
    const QString directory = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    QDir().mkpath(directory);
    int failures = 0;
    for (const char* language : {"en", "hu"}) {
        failures += nerolin::test::Take(directory, language);
    }
    failures += nerolin::test::TakeDark(directory);
    std::error_code ignored;
    std::filesystem::remove_all(base, ignored);
    return failures == 0 ? 0 : 1;
}
