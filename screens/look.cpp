#include "screens/look.h"

#include "screens/version.h"

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
