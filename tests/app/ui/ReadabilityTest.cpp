// The windows read well in both languages: mnemonics on every button and on
// every label that names a control, none twice in a window; accessible names
// for the lists and the QR code; accents that keep their tops; the licence
// and notices in About.

#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include <gtest/gtest.h>
#include <QAbstractButton>
#include <QCoreApplication>
#include <QDateTime>
#include <QLabel>
#include <QLocale>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTabWidget>
#include <QTextBlock>
#include <QTextLayout>
#include <QTranslator>
#include <QTreeWidget>

#include "app/ui/AboutDialog.h"
#include "app/ui/CertificateSummary.h"
#include "app/ui/MainWindow.h"
#include "app/ui/PinDialog.h"
#include "app/ui/ProxyDialog.h"
#include "app/ui/QrCodeDialog.h"
#include "app/ui/QtTranslations.h"
#include "app/ui/SelectCertificateDialog.h"
#include "app/ui/ServerTrustDialog.h"
#include "common/StringIds.h"
#include "common/StringTable.h"
#include "platform/Settings.h"
#include "session/SigningSession.h"
#include "tests/support/TempHome.h"
#include "tests/support/TestPki.h"

namespace nerolin::test {
namespace {

class Language {
public:
    explicit Language(const char* language) { setenv("LANGUAGE", language, 1); }
    ~Language() { setenv("LANGUAGE", "en", 1); }
};

// The mnemonic letter of a caption, or 0 when it has none.
QChar Mnemonic(const QString& text)
{
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != u'&') continue;
        if (text[i + 1] == u'&') {
            ++i;
            continue;
        }
        return text[i + 1].toLower();
    }
    return QChar();
}

// Every caption that should carry a mnemonic, and whether they differ.
void ExpectMnemonics(QWidget* window, const std::string& name, std::map<QChar, std::string> letters = {})
{
    std::vector<std::pair<std::string, QString>> captions;
    for (QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
        if (!button->text().isEmpty()) captions.emplace_back(button->objectName().toStdString(), button->text());
    }
    // A caption of a value the keyboard cannot reach is tied to it for
    // assistive technology only: a mnemonic would lead nowhere.
    for (QLabel* label : window->findChildren<QLabel*>()) {
        if (label->buddy() != nullptr && (label->buddy()->focusPolicy() & Qt::TabFocus) != 0)
            captions.emplace_back(label->objectName().toStdString(), label->text());
    }
    for (QTabWidget* tabs : window->findChildren<QTabWidget*>()) {
        for (int i = 0; i < tabs->count(); ++i) captions.emplace_back("tab", tabs->tabText(i));
    }
    for (const auto& [control, caption] : captions) {
        const QChar letter = Mnemonic(caption);
        EXPECT_FALSE(letter.isNull()) << name << ": " << control << " \"" << caption.toStdString() << "\"";
        if (letter.isNull()) continue;
        const auto [at, added] = letters.emplace(letter, control);
        EXPECT_TRUE(added) << name << ": " << control << " and " << at->second << " share "
                           << QString(letter).toStdString();
    }
}

TEST(Readability, EveryButtonAndNamingLabelHasItsOwnMnemonicInBothLanguages)
{
    TempHome home;
    SettingsKey key = SettingsKey::OpenUser();
    const std::vector<Bytes> certificates = {LoadCertificateDer(SigningIdentity("rsa").certificateDer)};
    for (const char* language : {"en", "hu"}) {
        SCOPED_TRACE(language);
        Language scope(language);
        SigningSession session;
        MainWindow window(&session);
        ExpectMnemonics(&window, "main window");
        // The captions the buttons take in other states keep apart from the rest.
        std::map<QChar, std::string> others;
        for (const char* control : {"sessionIdLabel", "serviceProviderLabel", "messageLabel", "documentsLabel",
                                    "autoCloseCheckBox", "menuButton"}) {
            QWidget* widget = window.findChild<QWidget*>(control);
            others.emplace(Mnemonic(widget->property("text").toString()), control);
        }
        for (const int id :
             {strings::kCloseButton, strings::kSelectCertificateButton, strings::kSelectCertificateWithMobileButton}) {
            const QChar letter = Mnemonic(QString::fromStdString(LoadString(id)));
            EXPECT_FALSE(letter.isNull()) << id;
            EXPECT_EQ(others.count(letter), 0u) << id;
        }

        const std::vector<std::pair<const char*, std::function<std::unique_ptr<QWidget>()>>> dialogs = {
            {"certificate choice",
             [&]() -> std::unique_ptr<QWidget> {
                 return std::make_unique<SelectCertificateDialog>(certificates, nullptr);
             }},
            {"PIN",
             []() -> std::unique_ptr<QWidget> {
                 return std::make_unique<PinDialog>(
                     PinRequest{.target = "Token", .holder = "Test Holder", .fewTriesLeft = true}, nullptr);
             }},
            {"proxy settings", [&]() -> std::unique_ptr<QWidget> { return std::make_unique<ProxyDialog>(key, false); }},
            {"untrusted server",
             [&]() -> std::unique_ptr<QWidget> {
                 return std::make_unique<ServerTrustDialog>("service.example", certificates.front(), "reason", nullptr);
             }},
            {"About", []() -> std::unique_ptr<QWidget> { return std::make_unique<AboutDialog>(nullptr); }},
        };
        for (const auto& [name, make] : dialogs) {
            auto dialog = make();
            ExpectMnemonics(dialog.get(), name);
        }
    }
}

TEST(Readability, ListsAndTheQrCodeHaveAccessibleNames)
{
    SigningSession session;
    MainWindow window(&session);
    EXPECT_EQ(window.findChild<QTreeWidget*>("documentList")->accessibleName(), "Documents");
    SelectCertificateDialog choice({LoadCertificateDer(SigningIdentity("ec").certificateDer)}, nullptr);
    EXPECT_EQ(choice.findChild<QTreeWidget*>("certificateList")->accessibleName(), "Certificates");
    session.sessionUrl = "https://127.0.0.1/s";
    session.sessionId = "id";
    QrCodeDialog qr(&session);
    EXPECT_EQ(qr.findChild<QLabel*>("qrCodeLabel")->accessibleName(), "QR code of the session's link");
}

// Qt's own texts (a field's context menu, the file dialog) follow the
// string table's language, from the system's Qt translations.
TEST(Readability, QtsOwnTextsAreHungarianWhenTheWindowsAre)
{
    const QString copy = QStringLiteral("&Copy");
    {
        Language english("en");
        EXPECT_FALSE(InstallQtTranslations(*QCoreApplication::instance()));
    }
    Language hungarian("hu");
    ASSERT_TRUE(InstallQtTranslations(*QCoreApplication::instance()));
    EXPECT_NE(QCoreApplication::translate("QLineEdit", "&Copy"), copy);
    EXPECT_NE(QCoreApplication::translate("QFileDialog", "Save As"), QStringLiteral("Save As"));
    qDeleteAll(QCoreApplication::instance()->findChildren<QTranslator*>());
    EXPECT_EQ(QCoreApplication::translate("QLineEdit", "&Copy"), copy);
}

// A validity date in the certificate dialogs is written as the windows'
// language writes it, whatever language the system's locale speaks.
TEST(Readability, DatesFollowTheWindowsLanguage)
{
    const QDateTime newYear(QDate(2024, 1, 1), QTime(12, 0), Qt::UTC);
    Language hungarian("hu");
    FollowLanguageInFormats();
    const QString written = FormatValidityTime(newYear);
    QLocale::setDefault(QLocale::system());
    EXPECT_TRUE(written.startsWith("2024. 01. 01.")) << written.toStdString();
    EXPECT_FALSE(written.contains("Jan")) << written.toStdString();
}

TEST(Readability, HungarianCapitalsKeepTheirAccents)
{
    Language hungarian("hu");
    SigningSession session;
    MainWindow window(&session);
    window.show();
    // "Üzenet:": its dots must lie inside the label, below its first pixel row.
    QLabel* message = window.findChild<QLabel*>("messageLabel");
    ASSERT_EQ(message->text(), "Üz&enet:");
    const QImage image = message->grab().toImage();
    int inkOnTopRow = 0;
    for (int x = 0; x < image.width(); ++x) {
        inkOnTopRow += qGray(image.pixel(x, 0)) < 160 ? 1 : 0;
    }
    EXPECT_EQ(inkOnTopRow, 0);
    EXPECT_GT(message->contentsMargins().top(), 0);
}

TEST(Readability, TheServicesMessageWrapsInsteadOfScrollingSideways)
{
    SigningSession session;
    MainWindow window(&session);
    window.show();
    auto* message = window.findChild<QPlainTextEdit*>("messageEdit");
    message->setPlainText(QString("Please read the contract before you sign it. ").repeated(6));
    QCoreApplication::processEvents();
    EXPECT_EQ(message->horizontalScrollBar()->maximum(), 0);
    const QTextBlock block = message->document()->firstBlock();
    EXPECT_GT(block.layout()->lineCount(), 1);
}

TEST(Readability, AboutShowsTheLicenceAndTheThirdPartyNotices)
{
    AboutDialog about(nullptr);
    const QString licence = about.findChild<QPlainTextEdit*>("licenceText")->toPlainText();
    const QString notices = about.findChild<QPlainTextEdit*>("noticesText")->toPlainText();
    EXPECT_TRUE(licence.startsWith("MIT License")) << licence.left(40).toStdString();
    EXPECT_TRUE(licence.contains("Permission is hereby granted"));
    EXPECT_TRUE(notices.startsWith("Third-party software in Nerolin")) << notices.left(40).toStdString();
    EXPECT_TRUE(notices.contains("OpenSSL"));
}

}  // namespace
}  // namespace nerolin::test
