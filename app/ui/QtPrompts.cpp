#include "app/ui/QtPrompts.h"

#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>

#include "app/ui/AccentRoom.h"
#include "app/ui/AccessibleNames.h"
#include "app/ui/PinDialog.h"
#include "app/ui/ScriptFilePrompts.h"
#include "app/ui/SelectCertificateDialog.h"
#include "app/ui/ServerTrustDialog.h"
#include "app/ui/UiText.h"
#include "app/ui/UiThread.h"
#include "common/StringIds.h"

namespace nerolin {
namespace {

// Touched on the user-interface thread only.
QPointer<QWidget> promptOwner;
QString serviceProvider;

QMessageBox::Icon ToQtIcon(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Error: return QMessageBox::Critical;
    case MessageIcon::Warning:
    case MessageIcon::Exclamation: return QMessageBox::Warning;
    case MessageIcon::Information: break;
    }
    return QMessageBox::Information;
}

IconMeaning ToMeaning(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Error: return IconMeaning::Error;
    case MessageIcon::Warning:
    case MessageIcon::Exclamation: return IconMeaning::Warning;
    case MessageIcon::Information: break;
    }
    return IconMeaning::Information;
}

QString NameFilter(const std::pair<std::string, std::string>& filter)
{
    const QString caption = ToQString(filter.first);
    const QString pattern = ToQString(filter.second);
    // Captions often carry the pattern already, as in "Log files (*.log)".
    if (caption.contains(pattern)) {
        return caption;
    }
    return QStringLiteral("%1 (%2)").arg(caption, pattern);
}

}  // namespace

void SetPromptOwner(QWidget* owner) { promptOwner = owner; }

void SetPromptServiceProvider(const QString& name) { serviceProvider = name; }

void QtPrompts::ShowMessage(const std::string& text, MessageIcon icon)
{
    RunOnUiThread([&] {
        QMessageBox box(ToQtIcon(icon), UiText(strings::kApplicationName), ToQString(text), QMessageBox::Ok,
                        promptOwner.data());
        box.button(QMessageBox::Ok)->setText(UiText(strings::kMessageBoxOk));
        if (auto* image = box.findChild<QLabel*>(QStringLiteral("qt_msgboxex_icon_label"))) {
            NameIcon(*image, ToMeaning(icon));
        }
        MakeRoomForAccents(&box);
        box.exec();
    });
}

std::optional<SecretString> QtPrompts::AskPin(const PinRequest& request)
{
    return RunOnUiThread([&]() -> std::optional<SecretString> {
        PinDialog dialog(request, promptOwner.data());
        if (dialog.exec() != QDialog::Accepted) {
            return std::nullopt;
        }
        return dialog.Pin();
    });
}

std::optional<std::size_t> QtPrompts::ChooseCertificate(const std::vector<Bytes>& certificates, bool anyFound)
{
    return RunOnUiThread([&]() -> std::optional<std::size_t> {
        SelectCertificateDialog dialog(certificates, promptOwner.data(), anyFound, serviceProvider);
        dialog.exec();
        return dialog.Choice();
    });
}

bool QtPrompts::TrustServerCertificate(const std::string& host, const Bytes& certificate, const std::string& reason)
{
    return RunOnUiThread([&] {
        ServerTrustDialog dialog(host, certificate, reason, promptOwner.data());
        return dialog.exec() == QDialog::Accepted;
    });
}

std::optional<std::string> QtPrompts::AskSaveFile(const SaveFileRequest& request)
{
    return RunOnUiThread([&]() -> std::optional<std::string> {
        QFileDialog dialog(promptOwner.data());
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        QStringList filters;
        for (const auto& filter : request.filters) {
            filters << NameFilter(filter);
        }
        if (!filters.isEmpty()) {
            dialog.setNameFilters(filters);
            dialog.selectNameFilter(filters.front());
        }
        dialog.setDefaultSuffix(ToQString(request.defaultSuffix));
        dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.confirmOverwrite);
        dialog.selectFile(ToQString(request.initialName));
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
            return std::nullopt;
        }
        return dialog.selectedFiles().front().toStdString();
    });
}

std::shared_ptr<UserPrompts> DesktopPrompts()
{
    if (auto scripted = ScriptFilePrompts::FromEnvironment()) return scripted;
    return std::make_shared<QtPrompts>();
}

}  // namespace nerolin
