#include "app/ui/SelectCertificateDialog.h"

#include <algorithm>

#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTreeWidgetItem>

#include "app/ui/AccentRoom.h"
#include "app/ui/CertificateDetailsDialog.h"
#include "app/ui/UiText.h"
#include "common/StringIds.h"
#include "common/UserPrompts.h"
#include "ui_SelectCertificateDialog.h"

namespace nerolin {
namespace {

constexpr int kIndexRole = Qt::UserRole;
constexpr int kRefreshResult = 2;

// Tokens list their objects in no fixed order: the rows follow the names and
// the end of validity instead, unreadable certificates last.
bool ComesBefore(const std::optional<CertificateSummary>& a, const std::optional<CertificateSummary>& b)
{
    if (!a || !b) return a.has_value() && !b.has_value();
    const int byName = QString::localeAwareCompare(a->issuedTo, b->issuedTo);
    if (byName != 0) return byName < 0;
    const int byIssuer = QString::localeAwareCompare(a->issuedBy, b->issuedBy);
    if (byIssuer != 0) return byIssuer < 0;
    if (a->validTo != b->validTo) return a->validTo < b->validTo;
    return a->serialNumber < b->serialNumber;
}

}  // namespace

SelectCertificateDialog::SelectCertificateDialog(const std::vector<Bytes>& certificates, QWidget* parent, bool anyFound,
                                                 const QString& serviceProvider)
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
    ui_->refreshButton->setText(UiText(strings::kRefreshCertificatesButton));
    ui_->okButton->setText(UiText(strings::kSelectCertificateOk));
    ui_->cancelButton->setText(UiText(strings::kSelectCertificateCancel));

    summaries_.reserve(certificates.size());
    std::vector<std::size_t> order;
    for (std::size_t i = 0; i < certificates.size(); ++i) {
        summaries_.push_back(SummarizeCertificate(certificates[i]));
        order.push_back(i);
    }
    std::stable_sort(order.begin(), order.end(),
                     [this](std::size_t a, std::size_t b) { return ComesBefore(summaries_[a], summaries_[b]); });
    for (const std::size_t i : order) {
        auto* row = new QTreeWidgetItem(ui_->certificateList);
        row->setData(0, kIndexRole, QVariant::fromValue<qulonglong>(i));
        // A certificate this dialog cannot read stays selectable: the
        // provider decides what it can sign with.
        if (const auto& summary = summaries_[i]) {
            row->setText(0, summary->issuedTo);
            row->setText(1, summary->issuedBy);
            row->setText(2, FormatValidityTime(summary->validFrom));
            row->setText(3, FormatValidityTime(summary->validTo));
            for (int column = 0; column < 4; ++column) row->setToolTip(column, row->text(column));
        }
    }
    // Wide enough for every column, validity included, without a scroll bar
    // (within the screen).
    int columnsWidth = 0;
    for (int column = 0; column < ui_->certificateList->columnCount(); ++column) {
        ui_->certificateList->resizeColumnToContents(column);
        columnsWidth += ui_->certificateList->columnWidth(column);
    }
    const QMargins margins = layout()->contentsMargins();
    const int chrome = 2 * ui_->certificateList->frameWidth() + margins.left() + margins.right() +
                       style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    const int room = screen() != nullptr ? screen()->availableGeometry().width() * 9 / 10 : columnsWidth + chrome;
    resize(std::max(width(), std::min(room, columnsWidth + chrome + 8)), height());

    connect(ui_->certificateList, &QTreeWidget::itemSelectionChanged, this, &SelectCertificateDialog::UpdateButtons);
    connect(ui_->certificateList, &QTreeWidget::itemDoubleClicked, this, &QDialog::accept);
    connect(ui_->detailsButton, &QPushButton::clicked, this, &SelectCertificateDialog::ShowDetails);
    connect(ui_->refreshButton, &QPushButton::clicked, this, [this] { done(kRefreshResult); });
    connect(ui_->okButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui_->cancelButton, &QPushButton::clicked, this, &QDialog::reject);

    if (ui_->certificateList->topLevelItemCount() > 0) {
        ui_->certificateList->setCurrentItem(ui_->certificateList->topLevelItem(0));
    }
    UpdateButtons();
    ShowWhyEmpty(anyFound, serviceProvider);
    MakeRoomForAccents(this);
    ui_->certificateList->setFocus();
}

void SelectCertificateDialog::ShowWhyEmpty(bool anyFound, const QString& serviceProvider)
{
    const bool empty = summaries_.empty();
    ui_->emptyLabel->setVisible(empty);
    if (!empty) {
        return;
    }
    QString why;
    if (!anyFound) {
        why = UiText(strings::kNoCertificateInsertCard);
    } else if (serviceProvider.isEmpty()) {
        why = UiText(strings::kNoCertificatePassesService);
    } else {
        why = UiText(strings::kNoCertificatePassesProvider).replace(QLatin1String("%s"), serviceProvider);
    }
    ui_->emptyLabel->setText(why);
    ui_->certificateList->setAccessibleDescription(why);
    // Where the user acts next: after inserting the card, Refresh.
    ui_->refreshButton->setDefault(true);
    ui_->okButton->setDefault(false);
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
    if (result() == kRefreshResult) {
        return kListCertificatesAgain;
    }
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
