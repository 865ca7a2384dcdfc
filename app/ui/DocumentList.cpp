#include "app/ui/DocumentList.h"

#include <algorithm>

#include <QFontMetrics>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyledItemDelegate>

namespace nerolin {
namespace {

// Draws each cell with the colour and font of its kind.
class LinkCellDelegate : public QStyledItemDelegate {
public:
    explicit LinkCellDelegate(DocumentList* list) : QStyledItemDelegate(list), list_(list) {}

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        const int row = index.row();
        const int column = index.column();
        if (list_->IsLinkCell(row, column)) {
            option->font = list_->LinkFont();
        }
        option->palette.setColor(QPalette::Text, list_->CellColor(row, column));
    }

private:
    DocumentList* list_;
};

}  // namespace

DocumentList::DocumentList(QWidget* parent) : QTreeWidget(parent)
{
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setWordWrap(false);
    setTextElideMode(Qt::ElideNone);
    setMouseTracking(true);
    header()->setStretchLastSection(false);
    header()->setSectionsMovable(false);
    setItemDelegate(new LinkCellDelegate(this));

    normalFont_ = font();
    linkFont_ = normalFont_;
    linkFont_.setUnderline(true);
}

std::pair<int, int> DocumentList::LinkAt(const QPoint& viewportPoint) const
{
    const QModelIndex index = indexAt(viewportPoint);
    if (!index.isValid() || !IsLinkCell(index.row(), index.column())) {
        return {-1, -1};
    }
    const QRect cell = visualRect(index);
    const int margin = style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1;
    const int textWidth = QFontMetrics(linkFont_).horizontalAdvance(index.data().toString());
    if (viewportPoint.x() > cell.left() + margin + textWidth) {
        return {-1, -1};
    }
    return {index.row(), index.column()};
}

void DocumentList::SizeColumnToContentsAndHeader(int column)
{
    setColumnWidth(column, std::max(sizeHintForColumn(column), header()->sectionSizeHint(column)));
}

void DocumentList::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    const bool opens =
        (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) && event->modifiers() == Qt::NoModifier;
    if (!opens) {
        QTreeWidget::keyPressEvent(event);
        return;
    }
    event->accept();
    QTreeWidgetItem* row = currentItem();
    if (row == nullptr) {
        return;
    }
    const int index = indexOfTopLevelItem(row);
    for (int column = 0; column < columnCount(); ++column) {
        if (IsLinkCell(index, column)) {
            emit LinkClicked(row->text(column));
            return;
        }
    }
}

void DocumentList::mouseMoveEvent(QMouseEvent* event)
{
    const bool onLink = LinkAt(event->position().toPoint()).first >= 0;
    viewport()->setCursor(onLink ? Qt::PointingHandCursor : Qt::ArrowCursor);
    QTreeWidget::mouseMoveEvent(event);
}

void DocumentList::leaveEvent(QEvent* event)
{
    viewport()->setCursor(Qt::ArrowCursor);
    QTreeWidget::leaveEvent(event);
}

void DocumentList::mouseReleaseEvent(QMouseEvent* event)
{
    QTreeWidget::mouseReleaseEvent(event);
    if (event->button() != Qt::LeftButton) {
        return;
    }
    const auto [row, column] = LinkAt(event->position().toPoint());
    if (row < 0) {
        return;
    }
    if (const QTreeWidgetItem* item = topLevelItem(row)) {
        emit LinkClicked(item->text(column));
    }
}

}  // namespace nerolin
