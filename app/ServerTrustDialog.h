#pragma once

// Asks whether to go on with a service whose TLS certificate the system does
// not trust: the certificate's subject, issuer, validity and SHA-256
// fingerprint and the reason it failed. "No" is the default answer.

#include <memory>
#include <string>

#include <QDialog>

#include "common/Text.h"

namespace Ui {
class CyendoServerTrustDlg;
}

namespace nerolin {

class CyendoServerTrustDlg : public QDialog {
    Q_OBJECT
public:
    CyendoServerTrustDlg(const Bytes& certificate, const std::string& reason, QWidget* parent);
    ~CyendoServerTrustDlg() override;

private:
    std::unique_ptr<Ui::CyendoServerTrustDlg> ui_;
};

}  // namespace nerolin
