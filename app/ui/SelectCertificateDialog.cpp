#include "app/ui/SelectCertificateDialog.h"

#include <QPushButton>
#include <QTreeWidgetItem>

#include "app/ui/AccentRoom.h"
#include "app/ui/CertificateDetailsDialog.h"
#include "app/ui/UiText.h"
#include "common/StringIds.h"
#include "ui_SelectCertificateDialog.h"

namespace nerolin {
namespace {

constexpr int kIndexRole = Qt::UserRole;

}  // namespace

SelectCertificateDialog::SelectCertificateDialog(const std::vector<Bytes>& certificates, QWidget* parent)
    : QDialog(parent),
      ui_(std::make_unique<Ui::SelectCertificateDialog>())
{
    ui_->setupUi(this);
    setWindowTitle(UiText(strings::kSelectCertificateTitle));
    ui_->promptLabel->setText(UiText(strings::kSelectCertificatePrompt));
    ui_->certificateList->setHeaderLabels({UiText(strings::kIssuedToColumn), UiText(strings::kIssuedByColumn),
                                           UiText(strings::kValidFromColumn), UiText(strings::kValidToColumn)});
    ui_->certificateList->setAccessibleName(UiText(strings::kCertificateListAccessibleName));
    ui_->detailsButton->setText(UiText(strings::kDetailsButton));
    ui_->okButton->setText(UiText(strings::kSelectCertificateOk));
    ui_->cancelButton->setText(UiText(strings::kSelectCertificateCancel));

    summaries_.reserve(certificates.size());
    for (std::size_t i = 0; i < certificates.size(); ++i) {
        summaries_.push_back(SummarizeCertificate(certificates[i]));
        auto* row = new QTreeWidgetItem(ui_->certificateList);
        row->setData(0, kIndexRole, QVariant::fromValue<qulonglong>(i));
        // A certificate this dialog cannot read stays selectable: the
        // provider decides what it can sign with.
        if (const auto& summary = summaries_.back()) {
            row->setText(0, summary->issuedTo);
            row->setText(1, summary->issuedBy);
            row->setText(2, FormatValidityTime(summary->validFrom));
            row->setText(3, FormatValidityTime(summary->validTo));
        }
    }
    for (int column = 0; column < ui_->certificateList->columnCount(); ++column) {
        ui_->certificateList->resizeColumnToContents(column);
    }

    connect(ui_->certificateList, &QTreeWidget::itemSelectionChanged, this, &SelectCertificateDialog::UpdateButtons);
    connect(ui_->certificateList, &QTreeWidget::itemDoubleClicked, this, &QDialog::accept);
    connect(ui_->detailsButton, &QPushButton::clicked, this, &SelectCertificateDialog::ShowDetails);
    connect(ui_->okButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui_->cancelButton, &QPushButton::clicked, this, &QDialog::reject);

    if (ui_->certificateList->topLevelItemCount() > 0) {
        ui_->certificateList->setCurrentItem(ui_->certificateList->topLevelItem(0));
    }
    UpdateButtons();
    MakeRoomForAccents(this);
    ui_->certificateList->setFocus();
}

SelectCertificateDialog::~SelectCertificateDialog() = default;

std::optional<std::size_t> SelectCertificateDialog::SelectedIndex() const
{
    const auto selected = ui_->certificateList->selectedItems();
    if (selected.isEmpty()) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(selected.front()->data(0, kIndexRole).toULongLong());
}

std::optional<std::size_t> SelectCertificateDialog::Choice() const
{
    if (result() != QDialog::Accepted) {
        return std::nullopt;
    }
    return SelectedIndex();
}

void SelectCertificateDialog::UpdateButtons()
{
    const auto index = SelectedIndex();
    ui_->okButton->setEnabled(index.has_value());
    ui_->detailsButton->setEnabled(index && summaries_[*index].has_value());
}

void SelectCertificateDialog::ShowDetails()
{
    const auto index = SelectedIndex();
    if (!index || !summaries_[*index]) {
        return;
    }
    CertificateDetailsDialog details(*summaries_[*index], this);
    details.exec();
}

}  // namespace nerolin
