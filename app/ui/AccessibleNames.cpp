#include "app/ui/AccessibleNames.h"

#include <QFormLayout>
#include <QLabel>
#include <QWidget>

#include "app/ui/UiText.h"
#include "common/StringIds.h"

namespace nerolin {

void TieCaptionsToValues(QWidget& window)
{
    for (QFormLayout* form : window.findChildren<QFormLayout*>()) {
        for (int row = 0; row < form->rowCount(); ++row) {
            QLayoutItem* caption = form->itemAt(row, QFormLayout::LabelRole);
            QLayoutItem* value = form->itemAt(row, QFormLayout::FieldRole);
            auto* label = caption != nullptr ? qobject_cast<QLabel*>(caption->widget()) : nullptr;
            if (label != nullptr && value != nullptr && value->widget() != nullptr && label->buddy() == nullptr) {
                label->setBuddy(value->widget());
            }
        }
    }
}

void NameIcon(QLabel& icon, IconMeaning meaning)
{
    int id = strings::kIconInformation;
    switch (meaning) {
    case IconMeaning::Error: id = strings::kIconError; break;
    case IconMeaning::Warning: id = strings::kIconWarning; break;
    case IconMeaning::Done: id = strings::kIconDone; break;
    case IconMeaning::Information: break;
    }
    icon.setAccessibleName(UiText(id));
}

QString NameFromCaption(int id)
{
    QString text = UiText(id);
    text.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    text.remove(u'&');
    text.replace(u'\x01', u'&');
    text = text.trimmed();
    if (text.endsWith(u':')) {
        text.chop(1);
    }
    return text.trimmed();
}

}  // namespace nerolin
