// "Sign with mobile" from the main window against the reference service's
// mobile side: the QR dialog follows the session's state and the window
// decides afterwards whether its session is over.

#include <QApplication>
#include <QLabel>
#include <QPushButton>

#include <gtest/gtest.h>

#include "app/ui/QrCodeDialog.h"
#include "platform/qt/QSettingsStore.h"
#include "tests/support/app/DialogDriver.h"
#include "tests/support/app/SessionWindow.h"
#include "tests/support/app/WindowFixture.h"
#include "tests/support/TempHome.h"

namespace nerolin::test {
namespace {

const DevService& Service()
{
    static DevService service;
    return service;
}

std::string StateShown(QrCodeDialog* dialog) { return dialog->findChild<QLabel*>("stateLabel")->text().toStdString(); }

// How many state requests the service has received for the session.
int StateRequests(const SessionWindow& run)
{
    const rapidjson::Document report = run.Report();
    int count = 0;
    if (report.HasMember("requests") && report["requests"].IsArray()) {
        for (const auto& request : report["requests"].GetArray()) {
            count += request.HasMember("exchange") && request["exchange"] == "state";
        }
    }
    return count;
}

bool Cancelled(const rapidjson::Document& report)
{
    return report.HasMember("cancelled") && report["cancelled"].IsBool() && report["cancelled"].GetBool();
}

class MobileSigning : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(Service().Running()) << Service().Log(); }

    // Clicks "Sign with mobile" with action run on the open QR dialog; returns
    // once the dialog has closed and the window has decided.
    static void SignWithMobile(SessionWindow& run, std::function<void(QrCodeDialog*)> action)
    {
        bool answered = false;
        AnswerNextDialog<QrCodeDialog>([&](QrCodeDialog* dialog) {
            action(dialog);
            answered = true;
        });
        Control<QPushButton>(&run.Window(), "signWithMobileButton")->click();
        EXPECT_TRUE(answered);
    }

    UserSettingsScope settings;
};

TEST_F(MobileSigning, CancelBeforeTheCodeIsReadLeavesTheWindowReady)
{
    for (const char* request :
         {R"({"mode":"SELECT_CERTIFICATE_AND_SIGN"})", R"({"mode":"SIGN","certificate":"rsa"})"}) {
        SCOPED_TRACE(request);
        SessionWindow run(Service(), request);
        ASSERT_TRUE(run.Created());
        ASSERT_TRUE(run.WaitUntilLoaded());
        ASSERT_EQ(ButtonStates(&run.Window()), "enabled/enabled/Cancel");

        SignWithMobile(run, [&](QrCodeDialog* dialog) {
            const std::string waiting = run.Session().mode == SessionMode::SignMode ? "Waiting for signed hashes..."
                                                                                    : "Waiting for certificate...";
            EXPECT_TRUE(ProcessEventsUntil([&] { return StateShown(dialog) == waiting; })) << StateShown(dialog);
            // Enter presses the focused Cancel, which only asks the poller to stop.
            auto* cancel = Control<QPushButton>(dialog, "cancelButton");
            ASSERT_TRUE(Activate(dialog));
            EXPECT_EQ(QApplication::focusWidget(), cancel);
            Press(Qt::Key_Return);
            EXPECT_FALSE(cancel->isEnabled());
            EXPECT_TRUE(dialog->isVisible());
        });
        EXPECT_EQ(ButtonStates(&run.Window()), "enabled/enabled/Cancel");
        EXPECT_TRUE(run.Window().isVisible());
        EXPECT_EQ(StatusLine(&run.Window()), "");

        // Signing on the computer still works.
        run.ClickStart();
        ASSERT_TRUE(run.WaitUntilFinished());
        EXPECT_TRUE(AllSignaturesVerified(run.Report()));
        EXPECT_TRUE(run.Prompts().Messages().empty());
    }
}

TEST_F(MobileSigning, AFinishedSessionClosesTheDialogAndEndsTheWindowsSession)
{
    for (int autoClose : {1, 0}) {
        SCOPED_TRACE(autoClose);
        settings.Set(setting::kAutomaticallyClose, autoClose);
        SessionWindow run(Service(), R"({"mode":"SELECT_CERTIFICATE_AND_SIGN"})");
        ASSERT_TRUE(run.Created());
        ASSERT_TRUE(run.WaitUntilLoaded());
        bool finishedShown = false;
        SignWithMobile(run, [&](QrCodeDialog* dialog) {
            const auto played = Service().PlayMobile(run.Session().sessionId);
            ASSERT_TRUE(played && played->find("\"ok\":true") != std::string::npos) << played.value_or("no answer");
            finishedShown =
                ProcessEventsUntil([&] { return StateShown(dialog) == "The signing session is finished!"; });
        });
        EXPECT_TRUE(finishedShown);
        EXPECT_TRUE(AllSignaturesVerified(run.Report()));
        EXPECT_FALSE(Cancelled(run.Report()));
        // The file as it is, should the value ever read as missing again.
        EXPECT_EQ(ReadUserSetting(setting::kAutomaticallyClose, 7), autoClose)
            << UserSettingsPath() << ":\n"
            << TempHome::ReadFile(UserSettingsPath());
        EXPECT_EQ(StatusLine(&run.Window()), "Finished on the mobile device.");
        if (autoClose == 1) {
            EXPECT_FALSE(run.Window().isVisible());
        } else {
            EXPECT_TRUE(run.Window().isVisible());
            EXPECT_EQ(ButtonStates(&run.Window()), "disabled/disabled/Close");
        }
        EXPECT_TRUE(run.Prompts().Messages().empty());
    }
}

TEST_F(MobileSigning, TheStateErrorIsShownUntilCancelAndEndsTheWindowsSession)
{
    settings.Set(setting::kAutomaticallyClose, 0);
    SessionWindow run(Service(), R"({"mode":"SELECT_CERTIFICATE_AND_SIGN"})");
    ASSERT_TRUE(run.Created());
    ASSERT_TRUE(run.WaitUntilLoaded());
    SignWithMobile(run, [&](QrCodeDialog* dialog) {
        ASSERT_TRUE(Service().PlayMobile(run.Session().sessionId, R"({"tamper":true})"));
        EXPECT_TRUE(ProcessEventsUntil([&] { return StateShown(dialog) == "Error!"; })) << StateShown(dialog);
        Control<QPushButton>(dialog, "cancelButton")->click();
    });
    EXPECT_EQ(run.Session().state, "ERROR");
    EXPECT_EQ(ButtonStates(&run.Window()), "disabled/disabled/Close");
    EXPECT_EQ(StatusLine(&run.Window()), "Signing failed: the signing service reported an error.");
    EXPECT_TRUE(run.Prompts().Messages().empty());

    // Closing now follows the Cancel rules: no worker ran, so the cancel
    // message goes to the service, which had already ended the session.
    run.ClickCancel();
    EXPECT_TRUE(ProcessEventsUntil([&] { return !run.Window().isVisible(); }));
}

TEST_F(MobileSigning, AFailingStateFetchShowsOneMessageAndClosesTheDialog)
{
    SessionWindow run(Service(), R"({"mode":"SELECT_CERTIFICATE_AND_SIGN"})");
    ASSERT_TRUE(run.Created());
    ASSERT_TRUE(run.WaitUntilLoaded());
    ASSERT_TRUE(
        Service().AddFaults(run.Session().sessionId, R"({"exchange":"state","kind":"status","status":500,"times":0})"));
    std::string shown;
    SignWithMobile(run, [&](QrCodeDialog* dialog) {
        EXPECT_TRUE(ProcessEventsUntil([&] { return StateShown(dialog) == "Error!"; })) << StateShown(dialog);
    });
    EXPECT_EQ(run.Prompts().Messages().size(), 1u);
    // The state never arrived, so the window counts its session as over
    // and, with automatic closing on, closes without a cancel message.
    EXPECT_FALSE(run.Window().isVisible());
    EXPECT_FALSE(Cancelled(run.Report()));
    EXPECT_EQ(StatusLine(&run.Window()), "Signing failed: the session's state could not be fetched.");
}

TEST_F(MobileSigning, CancelDuringAStalledStateRequestClosesTheDialogWithoutAMessage)
{
    SessionWindow run(Service(), R"({"mode":"SELECT_CERTIFICATE_AND_SIGN"})");
    ASSERT_TRUE(run.Created());
    ASSERT_TRUE(run.WaitUntilLoaded());
    const std::string id = run.Session().sessionId;
    SignWithMobile(run, [&](QrCodeDialog* dialog) {
        EXPECT_TRUE(ProcessEventsUntil([&] { return StateShown(dialog) == "Waiting for certificate..."; }));
        // From now on the service holds every state request until released.
        ASSERT_TRUE(Service().AddFaults(id, R"({"exchange":"state","kind":"stall","times":0})"));
        const int before = StateRequests(run);
        ASSERT_TRUE(ProcessEventsUntil([&] { return StateRequests(run) > before; }));
        Control<QPushButton>(dialog, "cancelButton")->click();
    });
    // The dialog closed on the abandoned request alone: nothing was shown
    // for it, and the window stays ready.
    EXPECT_TRUE(run.Prompts().Messages().empty());
    EXPECT_EQ(ButtonStates(&run.Window()), "enabled/enabled/Cancel");
    EXPECT_TRUE(run.Window().isVisible());
    ASSERT_TRUE(Service().ReleaseStalls(id));
}

}  // namespace
}  // namespace nerolin::test
