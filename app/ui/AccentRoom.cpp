#include "app/ui/AccentRoom.h"

#include <algorithm>

#include <QFontMetrics>
#include <QLabel>

namespace nerolin {
namespace {

// The tallest capitals of the two languages' alphabets.
int MissingHeight(const QFont& font)
{
    const QFontMetrics metrics(font);
    int top = 0;
    for (const QChar capital : QStringLiteral("ÁÉÍÓÖŐÚÜŰ")) {
        top = std::max({top, -metrics.tightBoundingRect(capital).top(), -metrics.boundingRect(capital).top()});
    }
    return std::max(0, top - metrics.ascent());
}

}  // namespace

void MakeRoomForAccents(QWidget* window)
{
    for (QLabel* label : window->findChildren<QLabel*>()) {
        if (!label->pixmap().isNull()) continue;
        QMargins margins = label->contentsMargins();
        margins.setTop(std::max(margins.top(), MissingHeight(label->font())));
        label->setContentsMargins(margins);
    }
}

}  // namespace nerolin
