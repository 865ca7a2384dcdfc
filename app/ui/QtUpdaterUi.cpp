#include "app/ui/QtUpdaterUi.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include "app/ui/AccentRoom.h"
#include "app/updater/Updater.h"
#include "common/StringIds.h"
#include "common/StringTable.h"
#include "platform/qt/ThreadHandoff.h"

namespace nerolin {
namespace {

QString Text(int id) { return QString::fromStdString(LoadString(id)); }

void ShowBox(QMessageBox::Icon icon, const QString& text)
{
    auto* box = new QMessageBox(icon, Text(strings::kUpdateTitle), text, QMessageBox::Ok);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::ApplicationModal);
    MakeRoomForAccents(box);
    box->show();
}

// Only web addresses become a link: the feed is not trusted to open
// anything else on this computer.
bool IsWebAddress(const QUrl& url)
{
    return url.isValid() && (url.scheme() == QLatin1String("https") || url.scheme() == QLatin1String("http"));
}

}  // namespace

template <typename Function>
void QtUpdaterUi::OnUiThread(Function function)
{
    HandOff();
    QMetaObject::invokeMethod(&context_, std::move(function), Qt::QueuedConnection);
}

void QtUpdaterUi::ShowUpToDate(const std::string& currentVersion)
{
    OnUiThread([currentVersion] {
        ShowBox(QMessageBox::Information, QString::fromStdString(FormatText(
                                              LoadString(strings::kUpdateUpToDate).c_str(), currentVersion.c_str())));
    });
}

void QtUpdaterUi::ShowCheckFailed()
{
    OnUiThread([] { ShowBox(QMessageBox::Warning, Text(strings::kUpdateCheckFailed)); });
}

void QtUpdaterUi::ShowInstallFailed(InstallFailure failure, const std::string& packagePath)
{
    OnUiThread([failure, packagePath] {
        switch (failure) {
        case InstallFailure::Download: ShowBox(QMessageBox::Critical, Text(strings::kUpdateDownloadFailed)); return;
        case InstallFailure::BadSignature: ShowBox(QMessageBox::Critical, Text(strings::kUpdateBadSignature)); return;
        case InstallFailure::WrongVersion: ShowBox(QMessageBox::Critical, Text(strings::kUpdateWrongVersion)); return;
        case InstallFailure::NoInstaller:
            ShowBox(QMessageBox::Warning, QString::fromStdString(FormatText(
                                              LoadString(strings::kUpdateNoInstaller).c_str(), packagePath.c_str())));
            return;
        }
    });
}

void QtUpdaterUi::OfferUpdate(Updater& updater, const AppcastItem& item, const std::string& currentVersion)
{
    OnUiThread([this, &updater, item, currentVersion] {
        auto* dialog = new QDialog;
        dialog->setObjectName(QStringLiteral("UpdateOfferDialog"));
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        dialog->setWindowModality(Qt::ApplicationModal);
        dialog->setWindowTitle(Text(strings::kUpdateTitle));
        auto* layout = new QVBoxLayout(dialog);
        auto* text = new QLabel(QString::fromStdString(FormatText(
            LoadString(strings::kUpdateAvailable).c_str(), item.displayVersion.c_str(), currentVersion.c_str())));
        text->setWordWrap(true);
        text->setMinimumWidth(360);
        layout->addWidget(text);
        const QUrl notes(QString::fromStdString(item.releaseNotesUrl));
        if (IsWebAddress(notes)) {
            auto* link = new QLabel(QStringLiteral("<a href=\"%1\">%2</a>")
                                        .arg(notes.toString(QUrl::FullyEncoded).toHtmlEscaped(),
                                             Text(strings::kUpdateReleaseNotes).toHtmlEscaped()));
            link->setObjectName(QStringLiteral("releaseNotesLink"));
            link->setTextFormat(Qt::RichText);
            link->setOpenExternalLinks(true);
            layout->addWidget(link);
        }
        auto* buttons = new QDialogButtonBox;
        auto* skip = buttons->addButton(Text(strings::kUpdateSkipVersion), QDialogButtonBox::DestructiveRole);
        auto* later = buttons->addButton(Text(strings::kUpdateRemindLater), QDialogButtonBox::RejectRole);
        auto* install = buttons->addButton(Text(strings::kUpdateInstall), QDialogButtonBox::AcceptRole);
        install->setDefault(true);
        layout->addWidget(buttons);
        MakeRoomForAccents(dialog);
        // The close box and Escape count as "Remind me later".
        auto choice = std::make_shared<UpdateChoice>(UpdateChoice::RemindLater);
        QObject::connect(skip, &QPushButton::clicked, dialog, [dialog, choice] {
            *choice = UpdateChoice::Skip;
            dialog->done(QDialog::Rejected);
        });
        QObject::connect(later, &QPushButton::clicked, dialog, &QDialog::reject);
        QObject::connect(install, &QPushButton::clicked, dialog, [dialog, choice] {
            *choice = UpdateChoice::Install;
            dialog->done(QDialog::Accepted);
        });
        QObject::connect(dialog, &QDialog::finished, &context_,
                         [&updater, item, choice](int) { updater.AnswerOffer(item, *choice); });
        dialog->show();
    });
}

}  // namespace nerolin
