// The updater's offer window: its buttons answer the updater, and only a
// web address from the feed becomes a clickable link.

#include <atomic>

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QPushButton>

#include <gtest/gtest.h>

#include "app/ui/QtUpdaterUi.h"
#include "app/updater/Updater.h"
#include "platform/Settings.h"
#include "tests/support/app/DialogDriver.h"
#include "tests/support/app/WindowFixture.h"
#include "tests/support/TempHome.h"

namespace nerolin::test {
namespace {

std::atomic<int> declined{0};
void Declined() { ++declined; }

QPushButton* Button(QDialog* dialog, const QString& text)
{
    for (auto* button : dialog->findChildren<QPushButton*>()) {
        if (Caption(button->text()) == text) return button;
    }
    return nullptr;
}

TEST(UpdaterWindows, TheOfferAnswersTheUpdaterAndLinksOnlyWebAddresses)
{
    struct Case {
        const char* notes;
        const char* button;
        bool linkShown;
        const char* skipped;  // SkipThisVersion afterwards
    };
    const Case cases[] = {
        {"https://example.org/notes.html", "Skip this version", true, "1.0.30"},
        {"javascript:alert(1)", "Remind me later", false, ""},
        {"file:///etc/passwd", "Remind me later", false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.notes);
        TempHome home;
        declined = 0;
        auto ui = std::make_shared<QtUpdaterUi>();
        Updater updater(ui, Updater::DefaultOptions());
        updater.SetUpdateCancelledCallback(Declined);
        AppcastItem item;
        item.version = item.displayVersion = "1.0.30";
        item.releaseNotesUrl = c.notes;

        bool linkShown = false;
        AnswerNextDialog<QDialog>([&](QDialog* dialog) {
            linkShown = dialog->findChild<QLabel*>("releaseNotesLink") != nullptr;
            QPushButton* button = Button(dialog, c.button);
            ASSERT_NE(button, nullptr);
            ASSERT_NE(Button(dialog, "Install update"), nullptr);
            button->click();
        });
        ui->OfferUpdate(updater, item, "1.0.21");
        ASSERT_TRUE(ProcessEventsUntil([] { return declined == 1; }));
        EXPECT_EQ(linkShown, c.linkShown);
        EXPECT_EQ(SettingsKey::OpenUser().ReadText(kSkipThisVersionValue, setting::kUpdateGroup).value_or(""),
                  c.skipped);
    }
}

}  // namespace
}  // namespace nerolin::test
