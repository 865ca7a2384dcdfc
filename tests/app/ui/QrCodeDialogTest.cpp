// The QR dialog on its own: the picture, the state texts, and a polling
// thread that cannot start.

#include <system_error>

#include <QImage>
#include <QLabel>
#include <QPushButton>

#include <gtest/gtest.h>

#include "app/run/StatePolling.h"
#include "app/ui/QrCodeDialog.h"
#include "common/UserPrompts.h"
#include "session/SigningSession.h"
#include "tests/support/app/DialogDriver.h"
#include "tests/support/ScriptedPrompts.h"

namespace nerolin::test {
namespace {

TEST(QrCodeDialog, ThePictureIs192PixelsOfSharpModulesWhateverTheLinkLength)
{
    for (std::size_t idLength : {1u, 600u}) {
        SigningSession session;
        session.sessionUrl = "https://127.0.0.1/s";
        session.sessionId = std::string(idLength, 'x');
        QrCodeDialog dialog(&session);
        const QImage picture = dialog.findChild<QLabel*>("qrCodeLabel")->pixmap().toImage();
        ASSERT_EQ(picture.size(), QSize(192, 192)) << idLength;
        // No smoothing: every pixel is a module's black or white.
        bool twoColours = true;
        for (int y = 0; y < picture.height(); ++y) {
            for (int x = 0; x < picture.width(); ++x) {
                const QRgb pixel = picture.pixel(x, y) & 0xFFFFFF;
                twoColours = twoColours && (pixel == 0 || pixel == 0xFFFFFF);
            }
        }
        EXPECT_TRUE(twoColours) << idLength;
    }
}

TEST(QrCodeDialog, StateTextsMatchTheStateExactly)
{
    const std::pair<const char*, const char*> cases[] = {
        {"WAITING_FOR_CONFIG_GOT", "Waiting for starting of application..."},
        {"WAITING_FOR_CERTIFICATE", "Waiting for certificate..."},
        {"WAITING_FOR_UNSIGNED_HASHES", "Waiting for unsigned hashes..."},
        {"WAITING_FOR_SIGNED_HASHES", "Waiting for signed hashes..."},
        {"FINISHED", "The signing session is finished!"},
        {"ERROR", "Error!"},
        {"finished", ""},
        {"FINISHED ", ""},
        {"", ""},
    };
    for (const auto& [state, text] : cases) {
        EXPECT_EQ(StateText(state), text) << state;
    }
}

TEST(QrCodeDialog, WithoutAPollingThreadCancelClosesAtOnce)
{
    auto prompts = std::make_shared<ScriptedPrompts>();
    SetUserPrompts(prompts);
    SigningSession session;
    session.sessionUrl = "https://127.0.0.1/s";
    session.sessionId = "id";
    QrCodeDialog dialog(&session);
    dialog.SetThreadStarter([](std::function<void()>) -> std::thread {
        throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    });
    dialog.show();
    EXPECT_EQ(prompts->Messages(), (std::vector<std::string>{"Failed to start thread!"}));
    dialog.findChild<QPushButton*>("cancelButton")->click();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    SetUserPrompts(nullptr);
}

}  // namespace
}  // namespace nerolin::test
