// The main window on its own: controls, menu, About box and the check box.

#include <gtest/gtest.h>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>

#include "app/ui/AboutDialog.h"
#include "app/ui/MainWindow.h"
#include "BuildConfig.h"
#include "session/SigningSession.h"
#include "tests/support/app/DialogDriver.h"
#include "tests/support/app/WindowFixture.h"

namespace nerolin::test {
namespace {

TEST(MainWindow, WithoutLaunchRequestOnlyCancelWorksAndClosesTheWindow)
{
    UserSettingsScope settings;
    SigningSession session;
    MainWindow window(&session);
    window.show();
    EXPECT_EQ(window.windowTitle(), "Nerolin");
    EXPECT_TRUE(Control<QLineEdit>(&window, "sessionIdEdit")->text().isEmpty());
    EXPECT_EQ(ButtonStates(&window), "disabled/disabled/Cancel");
    EXPECT_EQ(Control<QPushButton>(&window, "startSignButton")->text(), "S&tart sign");

    Control<QPushButton>(&window, "cancelButton")->click();
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(window.result(), QDialog::Rejected);
}

TEST(MainWindow, CheckBoxFollowsTheStoredSetting)
{
    struct Case {
        int stored;
        bool checked;
    };
    for (const Case& c : {Case{0, false}, Case{1, true}, Case{2, true}}) {
        UserSettingsScope settings;
        settings.Set(setting::kAutomaticallyClose, c.stored);
        SigningSession session;
        MainWindow window(&session);
        EXPECT_EQ(Control<QCheckBox>(&window, "autoCloseCheckBox")->isChecked(), c.checked) << c.stored;
    }
}

TEST(MainWindow, MenuHoldsTheFourCommandsInOrder)
{
    SigningSession session;
    MainWindow window(&session);
    QMenu* menu = Control<QToolButton>(&window, "menuButton")->menu();
    ASSERT_NE(menu, nullptr);
    QStringList items;
    for (QAction* action : menu->actions()) {
        items << (action->isSeparator() ? QStringLiteral("-") : action->text());
    }
    EXPECT_EQ(items,
              (QStringList{"-", "&Update...", "&Proxy settings...", "&Save eventlog...", "-", "&About Nerolin..."}));
}

TEST(MainWindow, AboutBoxShowsTheIconVersionAndDevelopmentBuild)
{
    SigningSession session;
    MainWindow window(&session);
    AboutDialog about(&window);
    EXPECT_FALSE(Control<QLabel>(&about, "iconLabel")->pixmap().isNull());
    EXPECT_EQ(about.windowTitle(), "About Nerolin");
    // The version is the build's, as the project declares it.
    const QString version = QString("Nerolin, Version ") + build::kVersion;
    const QString expected = build::kDevelopmentBuild ? version + " (development build)" : version;
    EXPECT_EQ(Control<QLabel>(&about, "versionLabel")->text(), expected);
}

}  // namespace
}  // namespace nerolin::test
