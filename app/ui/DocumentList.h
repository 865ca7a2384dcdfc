#pragma once

// The documents list: a report view whose link cells (HTTPS download URLs)
// are drawn in the palette's link colour and underlined, show the hand
// cursor over their text, and report a click on their text. Every other
// cell has the palette's text colour and is inert; a selected row has the
// highlight's, so names and links read on a dark theme too. Enter or Space
// on a row opens its link as a click would; neither reaches the window, where
// Enter would start signing.

#include <set>
#include <utility>

#include <QColor>
#include <QCursor>
#include <QFont>
#include <QTreeWidget>

namespace nerolin {

class DocumentList : public QTreeWidget {
    Q_OBJECT
public:
    explicit DocumentList(QWidget* parent = nullptr);

    void AddLinkCell(int row, int column) { linkCells_.insert({row, column}); }
    void RemoveLinkCell(int row, int column) { linkCells_.erase({row, column}); }
    bool IsLinkCell(int row, int column) const { return linkCells_.count({row, column}) != 0; }

    // The link cell whose text lies under a point of the viewport, or
    // (-1, -1): only the text counts, not the empty rest of the cell.
    std::pair<int, int> LinkAt(const QPoint& viewportPoint) const;

    // The width of a column's widest cell, or of its header when that is wider.
    void SizeColumnToContentsAndHeader(int column);

    const QFont& LinkFont() const { return linkFont_; }
    QColor CellColor(int row, int column) const
    {
        return palette().color(IsLinkCell(row, column) ? QPalette::Link : QPalette::Text);
    }

signals:
    void LinkClicked(const QString& url);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QFont normalFont_;
    QFont linkFont_;
    std::set<std::pair<int, int>> linkCells_;  // (row, column), ordered by row then column
};

}  // namespace nerolin
