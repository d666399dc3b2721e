#include "screens/look.h"

#include "screens/version.h"

#include <QLabel>
#include <QWidget>

namespace kestrel::screens::look {

void placeWindow(QWidget &window, const WindowPlace &place, int menuHeight)
{
    const QSize client(px(place.clientWidth), px(place.clientHeight));
    if (place.fixed)
        window.setGeometry(px(place.left), px(place.top) - menuHeight, client.width(),
                           client.height() + menuHeight);
    else
        window.resize(client.width(), client.height() + menuHeight);
}

QString filledIn(const char *text)
{
    return QString::fromUtf8(text)
        .replace(QLatin1String("{company}"), QLatin1String(version::kCompany))
        .replace(QLatin1String("{years}"), QLatin1String(version::kYears));
}

QLabel *makeLabel(const LabelRow &row, QWidget *parent)
{
    auto *label = new QLabel(filledIn(row.text), parent);
    label->setObjectName(QString::fromLatin1(row.name));
    label->setFont(arial(row.points, row.style));
    label->setAlignment(row.alignment);
    label->setGeometry(pixels(row.place));
    return label;
}

QFont arial(double points, unsigned style)
{
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(points);
    font.setBold(style & Bold);
    font.setItalic(style & Italic);
    font.setUnderline(style & Underline);
    return font;
}

QIcon appIcon()
{
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 72})
        icon.addFile(QStringLiteral(":/kestrel/kestrel-%1.png").arg(size), QSize(size, size));
    return icon;
}

} // namespace kestrel::screens::look
