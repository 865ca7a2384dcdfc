#include "app/ui/AboutDialog.h"

#include <algorithm>

#include <QPushButton>

#include "app/ui/ProgramIcon.h"
#include "app/ui/UiText.h"
#include "BuildConfig.h"
#include "common/StringIds.h"
#include "ui_AboutDialog.h"

namespace nerolin {

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
    ui_->okButton->setText(UiText(strings::kAboutOk));
    connect(ui_->okButton, &QPushButton::clicked, this, &QDialog::accept);
    adjustSize();
    setMinimumWidth(std::max(width(), 320));
}

AboutDialog::~AboutDialog() = default;

}  // namespace nerolin
