#pragma once

// Asks whether to go on with a service whose TLS certificate the system does
// not trust: the host that presented it, the certificate's subject, issuer,
// validity and SHA-256 fingerprint, and the reason it failed. "No" is the
// default answer.

#include <memory>
#include <string>

#include <QDialog>

#include "common/Text.h"

namespace Ui {
class ServerTrustDialog;
}

namespace nerolin {

class ServerTrustDialog : public QDialog {
    Q_OBJECT
public:
    ServerTrustDialog(const std::string& host, const Bytes& certificate, const std::string& reason, QWidget* parent);
    ~ServerTrustDialog() override;

private:
    std::unique_ptr<Ui::ServerTrustDialog> ui_;
};

}  // namespace nerolin
