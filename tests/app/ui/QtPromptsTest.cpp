// The Qt prompts and their dialogs, driven as a user would drive them.

#include <future>
#include <thread>

#include <gtest/gtest.h>
#include <openssl/x509_vfy.h>
#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>

#include "app/ui/CertificateDetailsDialog.h"
#include "app/ui/CertificateSummary.h"
#include "app/ui/PinDialog.h"
#include "app/ui/QtPrompts.h"
#include "app/ui/SelectCertificateDialog.h"
#include "app/ui/ServerTrustDialog.h"
#include "app/ui/UiText.h"
#include "common/StringIds.h"
#include "tests/support/app/DialogDriver.h"
#include "tests/support/ScriptedPrompts.h"
#include "tests/support/TestPki.h"

namespace nerolin::test {
namespace {

template <typename Widget>
Widget* Child(QWidget* parent, const char* name)
{
    auto* child = parent->findChild<Widget*>(name);
    EXPECT_NE(child, nullptr) << name;
    return child;
}

// Runs a prompt on a worker thread while this thread keeps its event loop
// going, as the main window's thread does during a signing run.
template <typename Result>
Result AskFromWorker(std::function<Result()> ask)
{
    std::packaged_task<Result()> task(std::move(ask));
    auto future = task.get_future();
    std::thread worker(std::move(task));
    EXPECT_TRUE(
        ProcessEventsUntil([&] { return future.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }));
    worker.join();
    return future.get();
}

TEST(QtPrompts, PinFromWorkerRunsTheDialogOnTheUiThreadAndReturnsWhatWasTyped)
{
    QtPrompts prompts;
    std::thread::id dialogThread;
    AnswerNextDialog<PinDialog>([&](PinDialog* dialog) {
        dialogThread = std::this_thread::get_id();
        EXPECT_EQ(Child<QLineEdit>(dialog, "targetEdit")->text(), "SoftHSM token");
        auto* pin = Child<QLineEdit>(dialog, "pinEdit");
        EXPECT_EQ(pin->echoMode(), QLineEdit::Password);
        EXPECT_EQ(dialog->focusWidget(), pin);
        pin->setText("1234");
        Child<QPushButton>(dialog, "okButton")->click();
    });
    const auto pin =
        AskFromWorker<std::optional<SecretString>>([&] { return prompts.AskPin({.target = "SoftHSM token"}); });
    EXPECT_EQ(dialogThread, std::this_thread::get_id());
    ASSERT_TRUE(pin.has_value());
    EXPECT_EQ(pin->view(), "1234");
}

// An empty field is no answer: Enter and OK leave the dialog open, so the
// token is never asked with an empty PIN; the first character enables OK.
TEST(QtPrompts, EmptyPinIsRefusedUntilSomethingIsTypedAndCancelIsNoAnswer)
{
    QtPrompts prompts;
    AnswerNextDialog<PinDialog>([](PinDialog* dialog) {
        auto* ok = Child<QPushButton>(dialog, "okButton");
        auto* pin = Child<QLineEdit>(dialog, "pinEdit");
        EXPECT_FALSE(ok->isEnabled());
        QTest::keyClick(pin, Qt::Key_Return);
        dialog->accept();
        EXPECT_TRUE(dialog->isVisible());
        QTest::keyClicks(pin, "0");
        EXPECT_TRUE(ok->isEnabled());
        QTest::keyClick(pin, Qt::Key_Backspace);
        EXPECT_FALSE(ok->isEnabled());
        QTest::keyClicks(pin, "12");
        QTest::keyClick(pin, Qt::Key_Return);
    });
    const auto typed = prompts.AskPin({.target = "token"});
    ASSERT_TRUE(typed.has_value());
    EXPECT_EQ(typed->view(), "12");

    AnswerNextDialog<PinDialog>([](PinDialog* dialog) {
        Child<QLineEdit>(dialog, "pinEdit")->setText("9999");
        dialog->reject();  // Escape and the close box end here too
    });
    EXPECT_FALSE(prompts.AskPin({.target = "token"}).has_value());
}

// What the dialog adds to the target: the holder, a warning about the tries
// left, that the key itself asks, and a PIN pad's instruction in place of
// the field.
TEST(QtPrompts, PinDialogTellsWhatThePinIsForAndHowManyTriesAreLeft)
{
    using Kind = PinRequest::Kind;
    struct Case {
        const char* name;
        PinRequest request;
        std::vector<int> notice;  // string ids, in their order
        bool warningIcon;
    };
    const Case cases[] = {
        {"plain token", {Kind::Token, "Nerolin Test Token", ""}, {}, false},
        {"holder and few tries",
         {Kind::Token, "Nerolin Test Token",
          "Anna Kov\xC3\xA1"
          "cs",
          true},
         {strings::kPinFewTriesLeft},
         true},
        {"signing key, last try",
         {Kind::SigningKey, "Signature key",
          "Anna Kov\xC3\xA1"
          "cs",
          true, true},
         {strings::kPinFinalTry, strings::kPinSigningKeyNotice},
         true},
        {"PIN pad", {Kind::Token, "Reader token", "", false, false, true}, {strings::kPinPadNotice}, false},
    };
    QtPrompts prompts;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QStringList expected;
        for (const int id : c.notice) expected << UiText(id);
        AnswerNextDialog<PinDialog>([&](PinDialog* dialog) {
            EXPECT_EQ(Child<QLineEdit>(dialog, "targetEdit")->text(), ToQString(c.request.target));
            auto* holder = Child<QLineEdit>(dialog, "holderEdit");
            EXPECT_EQ(holder->isVisibleTo(dialog), !c.request.holder.empty());
            EXPECT_EQ(holder->text(), ToQString(c.request.holder));
            auto* notice = Child<QLabel>(dialog, "noticeLabel");
            EXPECT_EQ(notice->isVisibleTo(dialog), !expected.isEmpty());
            EXPECT_EQ(notice->text(), expected.join(QLatin1Char('\n')));
            EXPECT_EQ(Child<QLabel>(dialog, "noticeIcon")->isVisibleTo(dialog), c.warningIcon);
            auto* pin = Child<QLineEdit>(dialog, "pinEdit");
            EXPECT_EQ(pin->isVisibleTo(dialog), !c.request.pinPad);
            EXPECT_EQ(dialog->focusWidget(), c.request.pinPad
                                                 ? static_cast<QWidget*>(Child<QPushButton>(dialog, "okButton"))
                                                 : static_cast<QWidget*>(pin));
            pin->setText("1234");  // a PIN pad's dialog has no field: this text goes nowhere
            Child<QPushButton>(dialog, "okButton")->click();
        });
        const auto answer = prompts.AskPin(c.request);
        ASSERT_TRUE(answer.has_value());
        EXPECT_EQ(answer->view(), c.request.pinPad ? "" : "1234");
    }
}

TEST(QtPrompts, APinLongerThanASecretHoldsIsRefusedAndTheDialogStays)
{
    auto recorded = std::make_shared<ScriptedPrompts>();
    SetUserPrompts(recorded);
    PinDialog dialog(PinRequest{.target = "token"}, nullptr);
    auto* pin = Child<QLineEdit>(&dialog, "pinEdit");
    pin->setText(QString(static_cast<qsizetype>(SecretString::kCapacity) + 1, u'1'));
    dialog.accept();
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    EXPECT_TRUE(dialog.Pin().empty());
    EXPECT_EQ(recorded->Messages(), std::vector<std::string>{"The entry is too long: at most 4096 bytes can be used."});
    pin->setText(QString(static_cast<qsizetype>(SecretString::kCapacity), u'1'));
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.Pin().size(), SecretString::kCapacity);
    SetUserPrompts(nullptr);
}

TEST(QtPrompts, CertificateChoiceListsEveryCertificateAndReturnsTheChosenIndex)
{
    QtPrompts prompts;
    const std::vector<Bytes> certificates = {LoadCertificateDer(SigningIdentity("rsa").certificateDer),
                                             Bytes{0x30, 0x03, 0x02, 0x01, 0x01},  // not a certificate
                                             LoadCertificateDer(SigningIdentity("ec").certificateDer)};
    ASSERT_FALSE(certificates[0].empty());
    ASSERT_FALSE(certificates[2].empty());

    // The rows follow the names, whatever order the tokens gave; the
    // unreadable one comes last and still answers with its own index.
    QStringList names;
    AnswerNextDialog<SelectCertificateDialog>([&](SelectCertificateDialog* dialog) {
        auto* list = Child<QTreeWidget>(dialog, "certificateList");
        EXPECT_EQ(list->topLevelItemCount(), 3);
        EXPECT_FALSE(Child<QLabel>(dialog, "emptyLabel")->isVisible());
        names = {list->topLevelItem(0)->text(0), list->topLevelItem(1)->text(0), list->topLevelItem(2)->text(0)};
        EXPECT_FALSE(list->topLevelItem(0)->text(3).isEmpty());  // valid to
        list->setCurrentItem(list->topLevelItem(2));
        Child<QPushButton>(dialog, "okButton")->click();
    });
    EXPECT_EQ(AskFromWorker<std::optional<std::size_t>>([&] { return prompts.ChooseCertificate(certificates, true); }),
              std::optional<std::size_t>(1));
    EXPECT_LT(QString::localeAwareCompare(names[0], names[1]), 0);
    EXPECT_TRUE(names[2].isEmpty());
    const std::vector<Bytes> reversed(certificates.rbegin(), certificates.rend());
    AnswerNextDialog<SelectCertificateDialog>([&](SelectCertificateDialog* dialog) {
        auto* list = Child<QTreeWidget>(dialog, "certificateList");
        EXPECT_EQ(list->topLevelItem(0)->text(0), names[0]);
        EXPECT_EQ(list->topLevelItem(1)->text(0), names[1]);
        dialog->reject();
    });
    prompts.ChooseCertificate(reversed, true);

    AnswerNextDialog<SelectCertificateDialog>(
        [](SelectCertificateDialog* dialog) { Child<QPushButton>(dialog, "cancelButton")->click(); });
    EXPECT_FALSE(prompts.ChooseCertificate(certificates, true).has_value());
}

// Without a certificate the dialog says why, in the words that fit what
// was found, and Refresh (where Enter goes) asks for the tokens again.
TEST(QtPrompts, AnEmptyCertificateChoiceSaysWhyAndRefreshListsTheTokensAgain)
{
    QtPrompts prompts;
    struct Case {
        bool anyFound;
        QString provider;
        QString why;
    };
    const Case cases[] = {
        {false, "Acme Bank", UiText(strings::kNoCertificateInsertCard)},
        {true, "Acme Bank", UiText(strings::kNoCertificatePassesProvider).replace("%s", "Acme Bank")},
        {true, "", UiText(strings::kNoCertificatePassesService)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why.toStdString());
        SetPromptServiceProvider(c.provider);
        AnswerNextDialog<SelectCertificateDialog>([&](SelectCertificateDialog* dialog) {
            auto* why = Child<QLabel>(dialog, "emptyLabel");
            EXPECT_TRUE(why->isVisible());
            EXPECT_EQ(why->text(), c.why);
            EXPECT_FALSE(Child<QPushButton>(dialog, "okButton")->isEnabled());
            EXPECT_TRUE(Child<QPushButton>(dialog, "refreshButton")->isDefault());
            QTest::keyClick(dialog, Qt::Key_Return);  // Enter where no button has the focus
        });
        EXPECT_EQ(prompts.ChooseCertificate({}, c.anyFound), kListCertificatesAgain);
    }
    SetPromptServiceProvider({});
}

// The details name each attribute of the names, the key and what it may be
// used for; a certificate without a key usage extension shows no usage row.
TEST(QtPrompts, CertificateDetailsShowNamedAttributesTheKeyAndItsUsage)
{
    struct Case {
        const char* identity;
        const char* key;
        bool usage;
    };
    for (const Case& c : {Case{"rsa", "RSA, 2048 bits", true}, Case{"ec", "EC, 256 bits", true},
                          Case{"rsa-no-keyusage", "RSA, 2048 bits", false}}) {
        SCOPED_TRACE(c.identity);
        const auto summary = SummarizeCertificate(LoadCertificateDer(SigningIdentity(c.identity).certificateDer));
        ASSERT_TRUE(summary.has_value());
        CertificateDetailsDialog details(*summary, nullptr);
        details.show();
        EXPECT_TRUE(Child<QLabel>(&details, "subjectValue")->text().contains(QStringLiteral("CN=")));
        EXPECT_TRUE(Child<QLabel>(&details, "issuerValue")->text().contains(QStringLiteral("O=")));
        EXPECT_EQ(Child<QLabel>(&details, "keyValue")->text(), c.key);
        auto* usage = Child<QLabel>(&details, "keyUsageValue");
        EXPECT_EQ(usage->isVisible(), c.usage);
        if (c.usage) {
            EXPECT_TRUE(usage->text().contains(UiText(strings::kUsageDigitalSignature))) << usage->text().toStdString();
        }
    }
}

TEST(QtPrompts, UntrustedServerCertificateShowsItsFactsAndDefaultsToNo)
{
    QtPrompts prompts;
    const Bytes certificate = LoadCertificateDer(ServiceHost("service-selfsigned").chainPem);
    ASSERT_FALSE(certificate.empty());

    QString fingerprint;
    AnswerNextDialog<ServerTrustDialog>([&](ServerTrustDialog* dialog) {
        fingerprint = Child<QLabel>(dialog, "fingerprintValue")->text().remove(u'\n');
        EXPECT_EQ(Child<QLabel>(dialog, "hostValue")->text(), "svc.example");
        // The verifier's own words become the user's.
        EXPECT_EQ(Child<QLabel>(dialog, "reasonValue")->text(), UiText(strings::kVerifySelfSigned));
        EXPECT_FALSE(Child<QLabel>(dialog, "subjectValue")->text().isEmpty());
        EXPECT_TRUE(Child<QPushButton>(dialog, "noButton")->isDefault());
        Child<QPushButton>(dialog, "noButton")->click();
    });
    EXPECT_FALSE(prompts.TrustServerCertificate("svc.example", certificate,
                                                X509_verify_cert_error_string(X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT)));
    // 32 bytes as colon-separated pairs
    EXPECT_EQ(fingerprint.size(), 32 * 3 - 1);

    AnswerNextDialog<ServerTrustDialog>([](ServerTrustDialog* dialog) {
        EXPECT_EQ(Child<QLabel>(dialog, "reasonValue")->text(), "reason");  // unknown: as the verifier said it
        Child<QPushButton>(dialog, "yesButton")->click();
    });
    EXPECT_TRUE(prompts.TrustServerCertificate("svc.example", certificate, "reason"));
}

TEST(QtPrompts, MessageBoxHasTheCaptionTheIconAndOnlyOk)
{
    QtPrompts prompts;
    const std::vector<std::pair<MessageIcon, QMessageBox::Icon>> icons = {
        {MessageIcon::Error, QMessageBox::Critical},
        {MessageIcon::Warning, QMessageBox::Warning},
        {MessageIcon::Exclamation, QMessageBox::Warning},
        {MessageIcon::Information, QMessageBox::Information},
    };
    for (const auto& [icon, expected] : icons) {
        AnswerNextDialog<QMessageBox>([expected = expected](QMessageBox* box) {
            EXPECT_EQ(box->windowTitle(), "Nerolin");
            EXPECT_EQ(box->text(), "Bad PIN code!");
            EXPECT_EQ(box->icon(), expected);
            EXPECT_EQ(box->buttons().size(), 1);
            box->button(QMessageBox::Ok)->click();
        });
        AskFromWorker<int>([&] {
            prompts.ShowMessage("Bad PIN code!", icon);
            return 0;
        });
    }
}

// A user's larger font (14 pt): every line of a two-line message shows
// whole, the second included, in both languages' texts.
TEST(QtPrompts, MessageBoxShowsEveryLineWithALargeFont)
{
    const QFont original = QApplication::font();
    QFont large = original;
    large.setPointSize(14);
    QApplication::setFont(large);
    QtPrompts prompts;
    for (const char* text : {"Error occured during the opertation!\r\nMessage: The session has ended.",
                             "Hiba történt a művelet során!\r\nÜzenet: Érvénytelen munkamenet."}) {
        SCOPED_TRACE(text);
        AnswerNextDialog<QMessageBox>([](QMessageBox* box) {
            QLabel* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
            ASSERT_NE(label, nullptr);
            const QFontMetrics metrics(label->font());
            EXPECT_GE(label->font().pointSize(), 14);
            // The text's own height, at the width the label has, fits in it.
            const QRect needed = metrics.boundingRect(label->contentsRect(), Qt::TextWordWrap, label->text());
            EXPECT_GE(label->contentsRect().height(), needed.height())
                << label->contentsRect().height() << " " << needed.height();
            EXPECT_GE(label->contentsRect().height(), 2 * metrics.lineSpacing());
            EXPECT_TRUE(box->rect().contains(label->geometry()));
            box->button(QMessageBox::Ok)->click();
        });
        AskFromWorker<int>([&] {
            prompts.ShowMessage(text, MessageIcon::Error);
            return 0;
        });
    }
    QApplication::setFont(original);
}

TEST(QtPrompts, SaveFileAddsTheDefaultSuffixAndCancelGivesNothing)
{
    QtPrompts prompts;
    QTemporaryDir directory;
    SaveFileRequest request;
    request.initialName = "Nerolin";
    request.defaultSuffix = "log";
    request.filters = {{"Log files (*.log)", "*.log"}, {"All files (*.*) ", "*.*"}};

    AnswerNextDialog<QFileDialog>([&](QFileDialog* dialog) {
        EXPECT_EQ(dialog->nameFilters().front(), "Log files (*.log)");
        EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
        dialog->setDirectory(directory.path());
        Child<QLineEdit>(dialog, "fileNameEdit")->setText("export");
        static_cast<QDialog*>(dialog)->accept();  // as the Save button does
    });
    EXPECT_EQ(prompts.AskSaveFile(request), std::optional<std::string>(directory.filePath("export.log").toStdString()));

    AnswerNextDialog<QFileDialog>([](QFileDialog* dialog) { dialog->reject(); });
    EXPECT_FALSE(prompts.AskSaveFile(request).has_value());
}

}  // namespace
}  // namespace nerolin::test
