#pragma once

// The choice among the certificates that passed the service's filter: one row
// per certificate (issued to, issued by, valid from, valid to) in a stable
// order, a details view of the selected one, Refresh (read the tokens again),
// OK (needs a selected row) and Cancel. Without a certificate the dialog says
// why: none was found (insert the card), or none passes the provider's
// requirements.

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
    // anyFound: some certificate was found before the filter; serviceProvider
    // names whose requirements they must meet (empty when unknown).
    SelectCertificateDialog(const std::vector<Bytes>& certificates, QWidget* parent, bool anyFound = true,
                            const QString& serviceProvider = {});
    ~SelectCertificateDialog() override;

    // The index into the certificates given, once the dialog ended with OK;
    // kListCertificatesAgain after Refresh.
    std::optional<std::size_t> Choice() const;

private:
    std::optional<std::size_t> SelectedIndex() const;
    void UpdateButtons();
    void ShowDetails();
    void ShowWhyEmpty(bool anyFound, const QString& serviceProvider);

    std::unique_ptr<Ui::SelectCertificateDialog> ui_;
    std::vector<std::optional<CertificateSummary>> summaries_;
};

}  // namespace nerolin
