// "Sign with mobile" from the main window against the reference service's
// mobile side: the QR dialog follows the session's state and the window
// decides afterwards whether its session is over.

#include <QKeyEvent>
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
            // Enter closes nothing; Cancel only asks the poller to stop.
            QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
            QCoreApplication::sendEvent(dialog, &enter);
            auto* cancel = Control<QPushButton>(dialog, "cancelButton");
            EXPECT_TRUE(cancel->isEnabled());
            cancel->click();
            EXPECT_FALSE(cancel->isEnabled());
            EXPECT_TRUE(dialog->isVisible());
        });
        EXPECT_EQ(ButtonStates(&run.Window()), "enabled/enabled/Cancel");
        EXPECT_TRUE(run.Window().isVisible());

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
}

}  // namespace
}  // namespace nerolin::test
