// Whole runs of the main window against the reference service: the launch
// thread, the signing worker, their reports, Cancel and the end of a session.

#include <algorithm>

#include <gtest/gtest.h>
#include <QApplication>
#include <QCoreApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QMenu>
#include <QMetaObject>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

#include "app/ui/DocumentList.h"
#include "app/ui/MainWindow.h"
#include "app/ui/UiThread.h"
#include "tests/support/app/DialogDriver.h"
#include "tests/support/app/SessionWindow.h"
#include "tests/support/app/WindowFixture.h"

namespace nerolin::test {
namespace {

const DevService& Service()
{
    static DevService service;
    return service;
}

bool Cancelled(const rapidjson::Document& report)
{
    return report.HasMember("cancelled") && report["cancelled"].IsBool() && report["cancelled"].GetBool();
}

std::string Joined(const std::vector<std::string>& items)
{
    std::string text;
    for (const auto& item : items) {
        text += (text.empty() ? "" : ", ") + item;
    }
    return text;
}

class SigningRun : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(Service().Running()) << Service().Log(); }
    UserSettingsScope settings;
};

TEST_F(SigningRun, EachModeEndsWithTheServiceSatisfiedAndTheWindowClosed)
{
    struct Case {
        const char* request;
        SigningResult batch;
        const char* calls;
        const char* status;
    };
    const Case cases[] = {
        {R"({"mode":"SIGN","certificate":"rsa"})", SigningResult::Unsupported,
         "Initialize, FindCertificate, BeginSigning 2, SignHashes 2, SignHash 0, SignHash 1, EndSigning, Finalize",
         "Finished: 2 documents signed."},
        {R"({"mode":"SELECT_CERTIFICATE_AND_SIGN","pendingPolls":2,"documents":[{"name":"a.pdf"},{"name":"b.txt"},{"name":"c.xml"}]})",
         SigningResult::Success, "Initialize, SelectCertificate, BeginSigning 3, SignHashes 3, EndSigning, Finalize",
         "Finished: 3 documents signed."},
        {R"({"mode":"SIGN","documents":[{"name":"only.pdf"}]})", SigningResult::Success,
         "Initialize, FindCertificate, BeginSigning 1, SignHashes 1, EndSigning, Finalize",
         "Finished: one document signed."},
        {R"({"mode":"SELECT_CERTIFICATE"})", SigningResult::Success, "Initialize, SelectCertificate, Finalize",
         "Finished: the certificate was handed to the service."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.request);
        ProviderScript script;
        script.batchResult = c.batch;
        SessionWindow run(Service(), c.request, script);
        ASSERT_TRUE(run.Created());
        ASSERT_TRUE(run.WaitUntilLoaded());
        EXPECT_EQ(ButtonStates(&run.Window()), "enabled/enabled/Cancel");
        run.ClickStart();
        EXPECT_EQ(ButtonStates(&run.Window()), "disabled/disabled/Cancel");
        ASSERT_TRUE(run.WaitUntilFinished());
        EXPECT_FALSE(run.Window().isVisible());  // auto-close with the update check skipped

        const auto report = run.Report();
        EXPECT_EQ(Joined(run.ProviderCalls()), c.calls);
        EXPECT_EQ(StatusLine(&run.Window()), c.status);
        EXPECT_EQ(run.Window().Outcome().kind, SessionOutcome::Kind::Finished);
        EXPECT_TRUE(run.Prompts().Messages().empty()) << Joined(run.Prompts().Messages());
        EXPECT_FALSE(Cancelled(report));
        if (std::string(c.request).find("\"SELECT_CERTIFICATE\"") != std::string::npos) {
            EXPECT_TRUE(report["certificate"].IsString());
        } else {
            EXPECT_TRUE(AllSignaturesVerified(report));
        }
    }
}

TEST_F(SigningRun, FailuresShowTheirMessageAndCancelAtTheServiceWhereTheyMust)
{
    struct Case {
        const char* name;
        const char* request;
        ProviderScript script;
        const char* message;  // "" for no message box
        bool cancelMessage;
        const char* status;
        bool signaturesCleared = false;  // a failed signing step leaves none behind
    };
    const auto failHash = [](SigningResult result) {
        ProviderScript script;
        script.hashResult = [result](int index) { return index == 1 ? result : SigningResult::Success; };
        return script;
    };
    ProviderScript notFound;
    notFound.findResult = SigningResult::Failed;
    ProviderScript findCanceled;
    findCanceled.findResult = SigningResult::Canceled;
    ProviderScript selectFailed;
    selectFailed.selectResult = SigningResult::Failed;
    ProviderScript selectClosed;
    selectClosed.selectResult = SigningResult::Canceled;

    const std::string canceled = "The session was canceled.";
    const Case cases[] = {
        {"certificate not found", R"({"mode":"SIGN"})", notFound, "Certificate not found!", true,
         "Signing failed: the certificate was not found."},
        {"find canceled", R"({"mode":"SIGN"})", findCanceled, "", true, canceled.c_str()},
        {"selection failed", "{}", selectFailed, "Failed to select certificate!", true,
         "Signing failed: no certificate could be chosen."},
        {"selection closed", "{}", selectClosed, "", true, canceled.c_str()},
        {"selection closed, certificate only", R"({"mode":"SELECT_CERTIFICATE"})", selectClosed, "", true,
         canceled.c_str()},
        {"selection failed, certificate only", R"({"mode":"SELECT_CERTIFICATE"})", selectFailed,
         "Failed to select certificate!", true, "Choosing the certificate failed: no certificate could be chosen."},
        {"wrong PIN", "{}", failHash(SigningResult::PinIncorrect), "Bad PIN code!", true,
         "Signing failed: the PIN code was wrong.", true},
        {"PIN locked", "{}", failHash(SigningResult::PinLocked), "The PIN code is locked.", true,
         "Signing failed: the PIN code is locked.", true},
        {"signing failed", "{}", failHash(SigningResult::Failed), "Failed to sign hash(es)!", true,
         "Signing failed: the key could not sign the documents.", true},
        {"signing canceled", "{}", failHash(SigningResult::Canceled), "", true, canceled.c_str(), true},
        {"unsigned hashes refused",
         R"({"faults":{"exchange":"unsignedHashes","kind":"serviceError","code":"ERROR","message":"no hashes","endSession":true}})",
         {},
         "Error occured during the opertation! | Message: no hashes",
         false,
         "Signing failed: the signing service reported an error."},
        {"unsigned hashes nested deeper than any reader goes",
         R"({"faults":{"exchange":"unsignedHashes","kind":"deepJson","bytes":204800}})",
         {},
         "Bad response!",
         false,
         "Signing failed: the signing service's answer could not be read."},
        {"certificate answered 500",
         R"({"faults":{"exchange":"certificate","kind":"status","status":500}})",
         {},
         "Invalid status code!",
         true,
         "Signing failed: the signing service's answer could not be read."},
        {"certificate verdict CANCEL",
         R"({"mode":"SELECT_CERTIFICATE","finalCode":"CANCEL"})",
         {},
         "*",
         false,
         canceled.c_str()},
        {"signed hashes answered 500",
         R"({"mode":"SIGN","faults":{"exchange":"signedHashes","kind":"status","status":500}})",
         {},
         "Invalid status code!",
         true,
         "Signing failed: the signing service's answer could not be read."},
        {"service verdict WARNING",
         R"({"mode":"SIGN","finalCode":"WARNING"})",
         {},
         "Warning! | Message: 2 signature(s) verified",
         false,
         "Finished: 2 documents signed. The signing service sent a warning."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SessionWindow run(Service(), c.request, c.script);
        ASSERT_TRUE(run.Created());
        ASSERT_TRUE(run.WaitUntilLoaded());
        run.ClickStart();
        ASSERT_TRUE(run.WaitUntilFinished());

        const auto messages = run.Prompts().Messages();
        if (std::string(c.message).empty()) {
            EXPECT_TRUE(messages.empty()) << Joined(messages);
        } else {
            ASSERT_EQ(messages.size(), 1u) << Joined(messages);
            if (std::string(c.message) == "*") {
                EXPECT_EQ(messages.front().rfind("Operation canceled!", 0), 0u) << messages.front();
            } else {
                std::string shown = messages.front();
                for (std::size_t at; (at = shown.find("\r\n")) != std::string::npos;) {
                    shown.replace(at, 2, " | ");
                }
                EXPECT_EQ(shown, c.message);
            }
        }
        EXPECT_EQ(Cancelled(run.Report()), c.cancelMessage);
        EXPECT_EQ(StatusLine(&run.Window()), c.status);
        // The bar ends as the session did: full only when it was finished,
        // never where a failed step left it.
        auto* bar = run.Window().findChild<QProgressBar*>("progressBar");
        const bool finished = std::string(c.status).rfind("Finished", 0) == 0;
        EXPECT_EQ(bar->value(), finished ? bar->maximum() : bar->minimum());
        if (c.signaturesCleared) {
            for (const auto& document : run.Session().documents) {
                EXPECT_TRUE(document.signedHash.empty());
            }
        }
    }
}

TEST_F(SigningRun, CancelIsIgnoredWhileLoadingAndEndsAReadySessionAtTheService)
{
    SessionWindow run(Service(), R"({"faults":{"exchange":"config","kind":"stall","seconds":1}})");
    ASSERT_TRUE(run.Created());
    ASSERT_TRUE(ProcessEventsUntil([&] { return run.Window().IsLoading(); }));
    run.ClickCancel();
    run.Window().reject();  // Escape and the close box
    EXPECT_TRUE(run.Window().isVisible());

    ASSERT_TRUE(run.WaitUntilLoaded());
    EXPECT_EQ(ButtonStates(&run.Window()), "enabled/enabled/Cancel");
    EXPECT_EQ(StatusLine(&run.Window()), "");
    // The service holds the cancel message's answer until the test lets it
    // go: the click returns at once, and the window goes on handling events
    // and shows that it is ending until the exchange is over.
    const std::string id = run.Session().sessionId;
    ASSERT_TRUE(Service().AddFaults(id, R"({"exchange":"cancel","kind":"stall"})"));
    run.ClickCancel();
    EXPECT_TRUE(run.Window().IsSendingCancel());
    bool handled = false;
    QTimer::singleShot(0, &run.Window(), [&] { handled = true; });
    EXPECT_TRUE(ProcessEventsUntil([&] { return handled; }));
    EXPECT_TRUE(run.Window().IsSendingCancel());
    EXPECT_TRUE(run.Window().isVisible());
    EXPECT_EQ(ButtonStates(&run.Window()), "disabled/disabled/Cancel");
    EXPECT_FALSE(Control<QPushButton>(&run.Window(), "cancelButton")->isEnabled());
    EXPECT_EQ(Control<QProgressBar>(&run.Window(), "progressBar")->maximum(), 0);  // busy
    run.Window().reject();  // Escape and the close box send nothing more
    EXPECT_TRUE(run.Window().isVisible());
    ASSERT_TRUE(Service().ReleaseStalls(id));
    ASSERT_TRUE(ProcessEventsUntil([&] { return !run.Window().isVisible(); }));
    EXPECT_FALSE(run.Window().IsSendingCancel());
    EXPECT_TRUE(Cancelled(run.Report()));
    EXPECT_EQ(StatusLine(&run.Window()), "The session was canceled.");
    EXPECT_TRUE(run.Prompts().Messages().empty());
}

TEST_F(SigningRun, EnterPressesTheFocusedButtonSoACancelNeverSigns)
{
    // A key that needs no PIN: nothing but the keys decides what happens.
    const auto ready = [](SessionWindow& run) {
        return run.Created() && run.WaitUntilLoaded() && Activate(&run.Window()) &&
               QApplication::focusWidget() == run.Window().findChild<QPushButton*>("startSignButton");
    };
    {
        SCOPED_TRACE("Tab to Cancel, Enter");
        SessionWindow run(Service(), R"({"mode":"SIGN"})");
        ASSERT_TRUE(ready(run));
        Press(Qt::Key_Tab);
        Press(Qt::Key_Return);
        ASSERT_TRUE(ProcessEventsUntil([&] { return !run.Window().isVisible(); }));
        EXPECT_TRUE(run.ProviderCalls().empty()) << Joined(run.ProviderCalls());
        EXPECT_TRUE(Cancelled(run.Report()));
    }
    {
        SCOPED_TRACE("Shift+Tab to Sign with mobile, Enter");
        SessionWindow run(Service(), R"({"mode":"SIGN"})");
        ASSERT_TRUE(ready(run));
        bool opened = false;
        AnswerNextDialog<QDialog>([&](QDialog* dialog) {
            opened = dialog->objectName() == "QrCodeDialog";
            dialog->reject();
        });
        Press(Qt::Key_Tab, Qt::ShiftModifier);
        Press(Qt::Key_Enter);
        EXPECT_TRUE(opened);
        EXPECT_TRUE(run.ProviderCalls().empty()) << Joined(run.ProviderCalls());
    }
    {
        SCOPED_TRACE("the menu button, Enter");
        SessionWindow run(Service(), R"({"mode":"SIGN"})");
        ASSERT_TRUE(ready(run));
        run.Window().findChild<QWidget*>("menuButton")->setFocus(Qt::TabFocusReason);
        bool menuShown = false;
        QTimer::singleShot(0, [&] {
            ProcessEventsUntil([] { return QApplication::activePopupWidget() != nullptr; });
            menuShown = qobject_cast<QMenu*>(QApplication::activePopupWidget()) != nullptr;
            if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
        });
        Press(Qt::Key_Return);
        EXPECT_TRUE(menuShown);
        QCoreApplication::processEvents();
        EXPECT_TRUE(run.ProviderCalls().empty()) << Joined(run.ProviderCalls());
        EXPECT_EQ(ButtonStates(&run.Window()), "enabled/enabled/Cancel");
    }
    {
        SCOPED_TRACE("Enter on Start sign");
        SessionWindow run(Service(), R"({"mode":"SIGN"})");
        ASSERT_TRUE(ready(run));
        Press(Qt::Key_Return);
        ASSERT_TRUE(run.WaitUntilFinished());
        EXPECT_TRUE(AllSignaturesVerified(run.Report()));
    }
}

// Tab walks the window from top to bottom, starting where the user acts
// first; in the documents list Enter and Space open the row's link instead of
// starting to sign.
TEST_F(SigningRun, TabFollowsTheWindowDownAndEnterInTheListOpensADocument)
{
    SessionWindow run(Service(), R"({"mode":"SIGN","documents":[)"
                                 R"({"name":"a.pdf","downloadUrl":"https://example.org/a.pdf"},)"
                                 R"({"name":"b.pdf","downloadUrl":"http://example.org/b.pdf"}]})");
    ASSERT_TRUE(run.Created() && run.WaitUntilLoaded() && Activate(&run.Window()));
    QStringList walked{QApplication::focusWidget()->objectName()};
    for (int i = 0; i < 9; ++i) {
        Press(Qt::Key_Tab);
        walked << QApplication::focusWidget()->objectName();
    }
    EXPECT_EQ(walked.join(", ").toStdString(),
              "startSignButton, cancelButton, sessionIdEdit, menuButton, serviceProviderEdit, messageEdit, "
              "documentList, autoCloseCheckBox, signWithMobileButton, startSignButton");

    QStringList opened;
    run.Window().SetLinkOpener([&](const QString& url) { opened << url; });
    auto* list = run.Window().findChild<DocumentList*>("documentList");
    list->setFocus(Qt::TabFocusReason);
    list->setCurrentItem(list->topLevelItem(0));
    Press(Qt::Key_Return);
    Press(Qt::Key_Space);
    list->setCurrentItem(list->topLevelItem(1));  // plain HTTP: no link to open
    Press(Qt::Key_Enter);
    QCoreApplication::processEvents();
    EXPECT_EQ(opened, QStringList({"https://example.org/a.pdf", "https://example.org/a.pdf"}));
    EXPECT_TRUE(run.ProviderCalls().empty()) << Joined(run.ProviderCalls());
    EXPECT_EQ(ButtonStates(&run.Window()), "enabled/enabled/Cancel");
}

TEST_F(SigningRun, CancelWhileWaitingForHashesStopsTheWorkerAndTellsTheService)
{
    SessionWindow run(Service(), R"({"pendingPolls":-1})");
    ASSERT_TRUE(run.Created());
    ASSERT_TRUE(run.WaitUntilLoaded());
    run.ClickStart();
    ASSERT_TRUE(ProcessEventsUntil([&] { return run.Report()["certificate"].IsString(); }));
    run.ClickCancel();
    EXPECT_TRUE(run.Window().isVisible() || !run.Window().IsSigningRunning());
    ASSERT_TRUE(run.WaitUntilFinished());
    EXPECT_TRUE(Cancelled(run.Report()));
    EXPECT_TRUE(run.Prompts().Messages().empty());
    EXPECT_EQ(Joined(run.ProviderCalls()), "Initialize, SelectCertificate, Finalize");
}

TEST_F(SigningRun, CancelDuringTheThirdOfFiveSignaturesStopsBeforeTheFourth)
{
    SessionWindow* self = nullptr;
    ProviderScript script;
    script.hashResult = [&self](int index) {
        if (index == 2) {  // the user presses Cancel while the third hash is signed
            RunOnUiThread([&] { self->ClickCancel(); });
        }
        return SigningResult::Success;
    };
    SessionWindow run(
        Service(), R"({"mode":"SIGN","documents":[{"name":"1"},{"name":"2"},{"name":"3"},{"name":"4"},{"name":"5"}]})",
        script);
    self = &run;
    ASSERT_TRUE(run.Created());
    ASSERT_TRUE(run.WaitUntilLoaded());
    run.ClickStart();
    ASSERT_TRUE(run.WaitUntilFinished());
    EXPECT_EQ(Joined(run.ProviderCalls()),
              "Initialize, FindCertificate, BeginSigning 5, SignHashes 5, SignHash 0, SignHash 1, SignHash 2, "
              "EndSigning, Finalize");
    for (const auto& document : run.Session().documents) {
        EXPECT_TRUE(document.signedHash.empty());
    }
    EXPECT_TRUE(Cancelled(run.Report()));
    EXPECT_TRUE(run.Prompts().Messages().empty());
}

TEST_F(SigningRun, ClearedCheckBoxKeepsTheWindowOpenWithCloseThatSendsNothing)
{
    settings.Set(setting::kAutomaticallyClose, 0);
    SessionWindow run(Service(), R"({"mode":"SIGN"})");
    ASSERT_TRUE(run.Created());
    ASSERT_TRUE(run.WaitUntilLoaded());
    run.ClickStart();
    ASSERT_TRUE(run.WaitUntilFinished());
    EXPECT_TRUE(run.Window().isVisible());
    EXPECT_EQ(ButtonStates(&run.Window()), "disabled/disabled/Close");
    run.ClickCancel();
    EXPECT_FALSE(run.Window().isVisible());
    EXPECT_FALSE(Cancelled(run.Report()));
    EXPECT_TRUE(AllSignaturesVerified(run.Report()));
}

TEST_F(SigningRun, StartSigningImmediatelyStartsOnlyWithOne)
{
    for (const int value : {1, 2}) {
        SCOPED_TRACE(value);
        settings.Set(setting::kStartSigningImmediately, value);
        SessionWindow run(Service(), R"({"mode":"SIGN"})");
        ASSERT_TRUE(run.Created());
        ASSERT_TRUE(run.WaitUntilLoaded());
        if (value == 1) {
            ASSERT_TRUE(run.WaitUntilFinished());
            EXPECT_TRUE(AllSignaturesVerified(run.Report()));
        } else {
            QCoreApplication::processEvents();
            EXPECT_EQ(ButtonStates(&run.Window()), "enabled/enabled/Cancel");
            EXPECT_TRUE(run.ProviderCalls().empty());
        }
    }
}

TEST_F(SigningRun, AStartRequestAfterTheClickStartsNoSecondWorker)
{
    SessionWindow run(Service(), R"({"mode":"SIGN"})");
    ASSERT_TRUE(run.Created());
    ASSERT_TRUE(run.WaitUntilLoaded());
    // As when "StartSigningImmediately" queued its start just before the click.
    run.ClickStart();
    QMetaObject::invokeMethod(&run.Window(), &MainWindow::StartSigning, Qt::QueuedConnection);
    ASSERT_TRUE(run.WaitUntilFinished());
    const auto calls = run.ProviderCalls();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "Initialize"), 1) << Joined(calls);
    EXPECT_TRUE(AllSignaturesVerified(run.Report()));
}

TEST_F(SigningRun, RefusedConfigurationUnsupportedVersionAndMissingWhitelistLeaveOnlyCancel)
{
    {
        SessionWindow run(
            Service(), R"({"faults":{"exchange":"config","kind":"serviceError","code":"ERROR","message":"closed"}})");
        ASSERT_TRUE(run.Created());
        ASSERT_TRUE(run.WaitUntilLoaded());
        EXPECT_EQ(run.Prompts().Messages(),
                  std::vector<std::string>{"Error occured during the opertation!\r\nMessage: closed"});
        EXPECT_EQ(ButtonStates(&run.Window()), "disabled/disabled/Cancel");
        EXPECT_EQ(StatusLine(&run.Window()), "The session could not be opened: the signing service reported an error.");
    }
    {
        SessionWindow run(Service(), R"({"version":"2"})");
        ASSERT_TRUE(run.Created());
        ASSERT_TRUE(run.WaitUntilLoaded());
        EXPECT_EQ(run.Prompts().Messages(),
                  std::vector<std::string>{"Not supported protocol version! Update your application!"});
        EXPECT_EQ(ButtonStates(&run.Window()), "disabled/disabled/Cancel");
        EXPECT_EQ(StatusLine(&run.Window()),
                  "The session could not be opened: this version of Nerolin does not support the service's protocol.");
        // Closed now, the session stays failed rather than canceled.
        run.ClickCancel();
        ASSERT_TRUE(ProcessEventsUntil([&] { return !run.Window().isVisible(); }));
        EXPECT_EQ(run.Window().Outcome().kind, SessionOutcome::Kind::Failed);
    }
    {
        SessionWindow run(Service(), "{}");
        ASSERT_TRUE(run.Created());
        setenv("NEROLIN_TEST_WHITELIST_URL", "https://localhost:1/whitelist/whitelist.json", 1);
        ASSERT_TRUE(run.WaitUntilLoaded());
        // The exchange shows the transport's own text first.
        const auto messages = run.Prompts().Messages();
        ASSERT_FALSE(messages.empty());
        EXPECT_EQ(messages.back(), "Failed to download the list of the allowed proxy servers!");
        EXPECT_EQ(ButtonStates(&run.Window()), "disabled/disabled/Cancel");
        EXPECT_EQ(StatusLine(&run.Window()),
                  "The session could not be opened: the list of allowed services could not be downloaded.");
    }
}

// A blank in the session address's path or query is sent escaped, as a
// browser sends it; a session address that cannot be read at all (a blank in
// its host) is a bad URL, not a whitelist that could not be downloaded.
TEST_F(SigningRun, ABlankInTheSessionAddressIsSentEscapedOrIsABadUrl)
{
    {
        SessionWindow run(Service(), "{}");
        ASSERT_TRUE(run.Created());
        run.Session().sessionUrl += "?note=a b";
        ASSERT_TRUE(run.WaitUntilLoaded());
        EXPECT_TRUE(run.Prompts().Messages().empty());
        EXPECT_EQ(ButtonStates(&run.Window()), "enabled/enabled/Cancel");
    }
    SessionWindow run(Service(), "{}");
    ASSERT_TRUE(run.Created());
    run.Session().sessionUrl = "https://127.0.0.1 x/session";
    ASSERT_TRUE(run.WaitUntilLoaded());
    EXPECT_EQ(run.Prompts().Messages(), std::vector<std::string>{"Bad URL!"});
    EXPECT_EQ(ButtonStates(&run.Window()), "disabled/disabled/Cancel");
    EXPECT_EQ(StatusLine(&run.Window()),
              "The session could not be opened: the session's address in the link is not valid.");
}

TEST_F(SigningRun, SelectCertificateModeHidesTheDocumentsAndRenamesTheButtons)
{
    SessionWindow signing(Service(), R"({"mode":"SIGN"})");
    SessionWindow selecting(Service(), R"({"mode":"SELECT_CERTIFICATE"})");
    ASSERT_TRUE(signing.Created() && selecting.Created());
    auto& window = selecting.Window();
    EXPECT_FALSE(window.findChild<QTreeWidget*>("documentList")->isVisible());
    EXPECT_FALSE(window.findChild<QLabel*>("documentsLabel")->isVisible());
    EXPECT_EQ(Caption(window.findChild<QPushButton*>("startSignButton")->text()), "Select certificate");
    EXPECT_EQ(Caption(window.findChild<QPushButton*>("signWithMobileButton")->text()),
              "Select certificate with mobile");
    EXPECT_LT(window.height() + 60, signing.Window().height());
    ASSERT_TRUE(signing.WaitUntilLoaded());
    ASSERT_TRUE(selecting.WaitUntilLoaded());
}

void Click(QWidget* viewport, QPoint point)
{
    const QPointF local(point);
    const QPointF global(viewport->mapToGlobal(point));
    QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, local, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &press);
    QApplication::sendEvent(viewport, &release);
}

Qt::CursorShape CursorOver(QWidget* viewport, QPoint point)
{
    QMouseEvent move(QEvent::MouseMove, QPointF(point), QPointF(viewport->mapToGlobal(point)), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &move);
    return viewport->cursor().shape();
}

TEST_F(SigningRun, OnlyTheTextOfHttpsDownloadUrlsActsAsALink)
{
    SessionWindow run(Service(), R"({"documents":[)"
                                 R"({"name":"a.pdf","downloadUrl":"https://example.org/a.pdf"},)"
                                 R"({"name":"b.pdf","downloadUrl":"http://example.org/b.pdf"},)"
                                 R"({"name":"c.pdf","downloadUrl":"no url at all"}]})");
    ASSERT_TRUE(run.Created());
    ASSERT_TRUE(run.WaitUntilLoaded());
    QStringList opened;
    run.Window().SetLinkOpener([&](const QString& url) { opened << url; });
    auto* list = run.Window().findChild<DocumentList*>("documentList");
    ASSERT_EQ(list->topLevelItemCount(), 3);
    EXPECT_TRUE(list->IsLinkCell(0, 1));
    EXPECT_FALSE(list->IsLinkCell(0, 0));
    EXPECT_FALSE(list->IsLinkCell(1, 1));
    EXPECT_FALSE(list->IsLinkCell(2, 1));
    EXPECT_EQ(list->CellColor(0, 1), list->palette().color(QPalette::Link));
    EXPECT_EQ(list->CellColor(1, 1), list->palette().color(QPalette::Text));
    EXPECT_EQ(list->topLevelItem(2)->text(1), "no url at all");  // shown as plain text

    QWidget* viewport = list->viewport();
    const auto textOf = [&](int row, int column) {
        const QRect cell = list->visualRect(list->model()->index(row, column));
        return QPoint(cell.left() + 8, cell.center().y());
    };
    const QRect linkCell = list->visualRect(list->model()->index(0, 1));
    const QPoint pastTheText(
        linkCell.left() + QFontMetrics(list->LinkFont()).horizontalAdvance("https://example.org/a.pdf") + 30,
        linkCell.center().y());
    list->setColumnWidth(1, pastTheText.x() - linkCell.left() + 40);

    EXPECT_EQ(CursorOver(viewport, textOf(0, 1)), Qt::PointingHandCursor);
    EXPECT_EQ(CursorOver(viewport, textOf(0, 0)), Qt::ArrowCursor);
    EXPECT_EQ(CursorOver(viewport, pastTheText), Qt::ArrowCursor);
    Click(viewport, textOf(0, 0));
    Click(viewport, textOf(1, 1));
    Click(viewport, pastTheText);
    EXPECT_TRUE(opened.isEmpty());
    Click(viewport, textOf(0, 1));
    EXPECT_EQ(opened, QStringList{"https://example.org/a.pdf"});
}

}  // namespace
}  // namespace nerolin::test
