#include "app/ui/AboutDialog.h"

#include <QFile>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QPushButton>

#include "app/ui/AccentRoom.h"
#include "app/ui/AccessibleNames.h"
#include "app/ui/ProgramIcon.h"
#include "app/ui/UiText.h"
#include "BuildConfig.h"
#include "common/StringIds.h"
#include "ui_AboutDialog.h"

// The texts live in a static library: nothing would pull their
// registration into the program unless it is named here.
static void InitNoticeResources() { Q_INIT_RESOURCE(nerolin_notices); }

namespace nerolin {
namespace {

// Compiled into the program, so About never needs the disk (the package
// also installs both files under /usr/share/doc/nerolin).
QString Notice(const char* name)
{
    static const bool registered = (InitNoticeResources(), true);
    (void)registered;
    QFile file(QStringLiteral(":/notices/") + QLatin1String(name));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

}  // namespace

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent), ui_(std::make_unique<Ui::AboutDialog>())
{
    ui_->setupUi(this);
    setWindowTitle(UiText(strings::kAboutTitle));
    QString text = QString::fromStdString(FormatText(LoadString(strings::kAboutVersionText).c_str(), build::kVersion));
    if (build::kDevelopmentBuild) {
        text += QStringLiteral(" (%1)").arg(UiText(strings::kDevelopmentBuild));
    }
    ui_->versionLabel->setText(text);
    ui_->iconLabel->setPixmap(ProgramIcon().pixmap(32, 32));
    ui_->iconLabel->setAccessibleName(UiText(strings::kLogoAccessibleName));
    // The version is what a support request needs: it can be copied.
    ui_->versionLabel->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    ui_->noticeTabs->setTabText(0, UiText(strings::kAboutLicenceTab));
    ui_->noticeTabs->setTabText(1, UiText(strings::kAboutNoticesTab));
    // The notices are laid out in columns.
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    ui_->licenceText->setFont(fixed);
    ui_->noticesText->setFont(fixed);
    ui_->licenceText->setPlainText(Notice("LICENSE"));
    ui_->noticesText->setPlainText(Notice("THIRD-PARTY-NOTICES"));
    // The licence is prose and wraps; the notices keep their columns.
    ui_->licenceText->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    ui_->licenceText->setAccessibleName(NameFromCaption(strings::kAboutLicenceTab));
    ui_->noticesText->setAccessibleName(NameFromCaption(strings::kAboutNoticesTab));
    ui_->okButton->setText(UiText(strings::kAboutOk));
    connect(ui_->okButton, &QPushButton::clicked, this, &QDialog::accept);
    MakeRoomForAccents(this);
    ui_->okButton->setFocus();
}

AboutDialog::~AboutDialog() = default;

}  // namespace nerolin
