#include "app/wrapbutton.h"

#include <QStyleOptionButton>
#include <QStylePainter>

namespace kestrel::app {

WrapButton::WrapButton(const QString &caption, QWidget *parent)
    : QPushButton(caption, parent)
{
}

void WrapButton::paintEvent(QPaintEvent *)
{
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    const QString caption = option.text;
    option.text.clear();
    painter.drawControl(QStyle::CE_PushButton, option);

    const QRect area = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
    const int flags = Qt::AlignCenter | Qt::TextWordWrap | Qt::TextShowMnemonic;
    const QRect needed = fontMetrics().boundingRect(area, flags, caption);
    // A caption that fits on one line is drawn as the style draws it; a longer one wraps.
    painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled,
                                   QPalette::ButtonText));
    painter.drawText(needed.width() <= area.width() ? area : rect().adjusted(2, 2, -2, -2), flags,
                     caption);
}

} // namespace kestrel::app
