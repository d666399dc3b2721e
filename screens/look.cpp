#include "screens/look.h"

namespace kestrel::look {

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

} // namespace kestrel::look
