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

} // namespace kestrel::look
