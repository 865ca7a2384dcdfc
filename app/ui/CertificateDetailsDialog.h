#pragma once

// The details of one certificate: subject, issuer, serial number, validity
// and SHA-256 fingerprint.

#include <memory>

#include <QDialog>

#include "app/ui/CertificateSummary.h"

namespace Ui {
class CertificateDetailsDialog;
}

namespace nerolin {

class CertificateDetailsDialog : public QDialog {
    Q_OBJECT
public:
    CertificateDetailsDialog(const CertificateSummary& summary, QWidget* parent);
    ~CertificateDetailsDialog() override;

private:
    std::unique_ptr<Ui::CertificateDetailsDialog> ui_;
};

}  // namespace nerolin
