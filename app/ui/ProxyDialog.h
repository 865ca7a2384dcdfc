#pragma once

// The proxy settings of one settings file: URL, user name and the masked
// password, in the user's file (the menu's "Proxy settings...") or in the
// machine-wide one (the start-up flag "SetProxyLocalMachine"). OK writes all
// three back as typed, the password protected in the file's scope; Cancel
// writes nothing. No field is checked: any text is stored as it stands.

#include <memory>

#include <QDialog>

namespace Ui {
class ProxyDialog;
}

namespace nerolin {

class SettingsKey;

class ProxyDialog : public QDialog {
    Q_OBJECT
public:
    // key stays the caller's and must outlive the dialog; machineWide: it is
    // the machine file, whose password every user of the computer may read.
    ProxyDialog(SettingsKey& key, bool machineWide, QWidget* parent = nullptr);
    ~ProxyDialog() override;

    void accept() override;

private:
    std::unique_ptr<Ui::ProxyDialog> ui_;
    SettingsKey& key_;
    bool machineWide_;
};

// Runs the dialog on the user's file; for the main window's menu.
void EditUserProxySettings(QWidget* parent);
// Runs the dialog on the machine file when it exists and may be written;
// false when there is no such file.
bool EditMachineProxySettings();

}  // namespace nerolin
