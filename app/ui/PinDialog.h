#pragma once

// The PIN prompt of a token or key: the target, a masked field with the
// focus, OK and Cancel. An empty PIN is a valid answer.

#include <memory>
#include <string>

#include <QDialog>

#include "common/SecretString.h"

namespace Ui {
class PinDialog;
}

namespace nerolin {

class PinDialog : public QDialog {
    Q_OBJECT
public:
    PinDialog(const std::string& target, QWidget* parent);
    ~PinDialog() override;

    // The PIN typed before OK; empty until then.
    const SecretString& Pin() const { return pin_; }

    void accept() override;

private:
    std::unique_ptr<Ui::PinDialog> ui_;
    SecretString pin_;
};

}  // namespace nerolin
