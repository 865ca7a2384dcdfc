#include "app/CyendoSelectCertificateDlg.h"

#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidgetItem>

#include "app/CertificateSummary.h"
#include "app/UiText.h"
#include "common/StringIds.h"
#include "ui_CyendoSelectCertificateDlg.h"

namespace nerolin {
namespace {

constexpr int kIndexRole = Qt::UserRole;
constexpr int kDetailsRole = Qt::UserRole + 1;

QString DetailsText(const CertificateSummary& summary)
{
    const QString line = QStringLiteral("%1 %2\n");
    return line.arg(UiText(strings::kCertSubjectLabel), summary.subject) +
           line.arg(UiText(strings::kCertIssuerLabel), summary.issuer) +
           line.arg(UiText(strings::kCertSerialNumberLabel), summary.serialNumber) +
           line.arg(UiText(strings::kCertValidFromLabel), FormatValidityTime(summary.validFrom)) +
           line.arg(UiText(strings::kCertValidToLabel), FormatValidityTime(summary.validTo)) +
           line.arg(UiText(strings::kCertFingerprintLabel), summary.sha256Fingerprint).trimmed();
}

}  // namespace

CyendoSelectCertificateDlg::CyendoSelectCertificateDlg(const std::vector<Bytes>& certificates,
                                                       QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::CyendoSelectCertificateDlg>())
{
    ui_->setupUi(this);
    setWindowTitle(UiText(strings::kSelectCertificateTitle));
    ui_->promptLabel->setText(UiText(strings::kSelectCertificatePrompt));
    ui_->detailsLabel->setText(UiText(strings::kSelectCertificateDetails));
    ui_->certificateList->setHeaderLabels({UiText(strings::kCertIssuedToColumn), UiText(strings::kCertIssuedByColumn),
                                           UiText(strings::kCertValidFromColumn), UiText(strings::kCertValidToColumn)});
    ui_->okButton->setText(UiText(strings::kSelectCertificateOk));
    ui_->cancelButton->setText(UiText(strings::kSelectCertificateCancel));

    for (std::size_t i = 0; i < certificates.size(); ++i) {
        const auto summary = SummarizeCertificate(certificates[i]);
        auto* row = new QTreeWidgetItem(ui_->certificateList);
        row->setData(0, kIndexRole, QVariant::fromValue<qulonglong>(i));
        if (!summary) {
            continue;  // still selectable: the provider decides what it can sign with
        }
        row->setText(0, summary->issuedTo);
        row->setText(1, summary->issuedBy);
        row->setText(2, FormatValidityTime(summary->validFrom));
        row->setText(3, FormatValidityTime(summary->validTo));
        row->setData(0, kDetailsRole, DetailsText(*summary));
    }
    for (int column = 0; column < ui_->certificateList->columnCount(); ++column) {
        ui_->certificateList->resizeColumnToContents(column);
    }

    connect(ui_->certificateList, &QTreeWidget::itemSelectionChanged, this,
            &CyendoSelectCertificateDlg::ShowDetails);
    connect(ui_->certificateList, &QTreeWidget::itemDoubleClicked, this, &QDialog::accept);
    connect(ui_->okButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui_->cancelButton, &QPushButton::clicked, this, &QDialog::reject);

    if (ui_->certificateList->topLevelItemCount() > 0) {
        ui_->certificateList->setCurrentItem(ui_->certificateList->topLevelItem(0));
    }
    ShowDetails();
    ui_->certificateList->setFocus();
}

CyendoSelectCertificateDlg::~CyendoSelectCertificateDlg() = default;

std::optional<std::size_t> CyendoSelectCertificateDlg::Choice() const
{
    if (result() != QDialog::Accepted) {
        return std::nullopt;
    }
    const auto selected = ui_->certificateList->selectedItems();
    if (selected.isEmpty()) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(selected.front()->data(0, kIndexRole).toULongLong());
}

void CyendoSelectCertificateDlg::ShowDetails()
{
    const auto selected = ui_->certificateList->selectedItems();
    ui_->okButton->setEnabled(!selected.isEmpty());
    ui_->detailsView->setPlainText(selected.isEmpty() ? QString()
                                                      : selected.front()->data(0, kDetailsRole).toString());
}

}  // namespace nerolin
