#pragma once

// The choice among the certificates that passed the service's filter: one row
// per certificate (issued to, issued by, valid from, valid to), a details
// view of the selected one, OK (needs a selected row) and Cancel.

#include <cstddef>
#include <memory>
#include <optional>
#include <vector>

#include <QDialog>

#include "app/ui/CertificateSummary.h"
#include "common/Text.h"

namespace Ui {
class SelectCertificateDialog;
}

namespace nerolin {

class SelectCertificateDialog : public QDialog {
    Q_OBJECT
public:
    SelectCertificateDialog(const std::vector<Bytes>& certificates, QWidget* parent);
    ~SelectCertificateDialog() override;

    // The index into the certificates given, once the dialog ended with OK.
    std::optional<std::size_t> Choice() const;

private:
    std::optional<std::size_t> SelectedIndex() const;
    void UpdateButtons();
    void ShowDetails();

    std::unique_ptr<Ui::SelectCertificateDialog> ui_;
    std::vector<std::optional<CertificateSummary>> summaries_;
};

}  // namespace nerolin
