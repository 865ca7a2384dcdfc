#pragma once

// The PIN prompt of a token or key: the target, the certificate holder when
// known, a masked field with the focus, OK and Cancel. A line above them
// tells what is unusual: that the signing key itself asks, that few tries
// are left or this is the last, or that the reader takes the PIN on its own
// pad (then there is no field, and OK answers the empty PIN). With a field,
// OK stays disabled while it is empty.

#include <memory>
#include <string>

#include <QDialog>

#include "common/SecretString.h"
#include "common/UserPrompts.h"

namespace Ui {
class PinDialog;
}

namespace nerolin {

class PinDialog : public QDialog {
    Q_OBJECT
public:
    PinDialog(const PinRequest& request, QWidget* parent);
    ~PinDialog() override;

    // The PIN typed before OK; empty until then.
    const SecretString& Pin() const { return pin_; }

    void accept() override;

private:
    std::unique_ptr<Ui::PinDialog> ui_;
    bool pinPad_;
    SecretString pin_;
};

}  // namespace nerolin
