#pragma once

// The details of one certificate: subject, issuer, serial number, validity
// and SHA-256 fingerprint.

#include <memory>

#include <QDialog>

#include "app/CertificateSummary.h"

namespace Ui {
class CyendoCertificateDetailsDlg;
}

namespace nerolin {

class CyendoCertificateDetailsDlg : public QDialog {
    Q_OBJECT
public:
    CyendoCertificateDetailsDlg(const CertificateSummary& summary, QWidget* parent);
    ~CyendoCertificateDetailsDlg() override;

private:
    std::unique_ptr<Ui::CyendoCertificateDetailsDlg> ui_;
};

}  // namespace nerolin
