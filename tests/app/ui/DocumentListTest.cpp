// The documents list takes its colours from the palette, so a dark theme
// shows light names and links on a dark background.

#include <algorithm>

#include <gtest/gtest.h>
#include <QImage>
#include <QPalette>
#include <QTreeWidgetItem>

#include "app/ui/DocumentList.h"

namespace nerolin::test {
namespace {

// The lightest pixel of a cell, as a grey level.
int Lightest(const QImage& image, const QRect& cell)
{
    int lightest = 0;
    for (int y = cell.top(); y <= cell.bottom(); ++y) {
        for (int x = cell.left(); x <= cell.right(); ++x) {
            lightest = std::max(lightest, qGray(image.pixel(x, y)));
        }
    }
    return lightest;
}

TEST(DocumentList, NamesAndLinksReadOnADarkPalette)
{
    DocumentList list;
    QPalette dark;
    dark.setColor(QPalette::Base, QColor(30, 30, 30));
    dark.setColor(QPalette::Window, QColor(45, 45, 45));
    dark.setColor(QPalette::Text, QColor(230, 230, 230));
    dark.setColor(QPalette::Link, QColor(120, 180, 255));
    list.setPalette(dark);
    list.setColumnCount(2);
    auto* row = new QTreeWidgetItem(&list, {QStringLiteral("contract.pdf"), QStringLiteral("https://example.org/c")});
    list.AddLinkCell(0, 1);
    list.resize(500, 120);
    list.resizeColumnToContents(0);
    list.resizeColumnToContents(1);
    list.show();
    list.clearSelection();

    const QImage image = list.viewport()->grab().toImage();
    const qreal scale = image.devicePixelRatio();
    for (int column : {0, 1}) {
        const QRect cell = list.visualItemRect(row).intersected(
            QRect(list.columnViewportPosition(column), 0, list.columnWidth(column), image.height()));
        const QRect pixels(cell.topLeft() * scale, cell.size() * scale);
        EXPECT_GT(Lightest(image, pixels), 150) << "column " << column;
    }
    EXPECT_EQ(list.CellColor(0, 0), dark.color(QPalette::Text));
    EXPECT_EQ(list.CellColor(0, 1), dark.color(QPalette::Link));
}

}  // namespace
}  // namespace nerolin::test
