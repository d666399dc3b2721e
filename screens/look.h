#pragma once

#include <QFont>
#include <QIcon>
#include <QRect>

namespace kestrel::look {

// Places and sizes are given in twips (1/1440 inch); at 15 twips per pixel they become Qt's logical
// pixels, which Qt scales on high-DPI screens.
constexpr int kTwipsPerPixel = 15;
constexpr int px(int twips) { return (twips + kTwipsPerPixel / 2) / kTwipsPerPixel; }
inline QRect pixels(int left, int top, int width, int height)
{
    return QRect(px(left), px(top), px(width), px(height));
}

enum FontStyle : unsigned { Regular = 0, Bold = 1, Italic = 2, Underline = 4 };

// Arial at the given size. Where Arial is missing, fontconfig puts its metric twin Liberation Sans
// in its place, so texts keep their widths.
QFont arial(double points, unsigned style = Regular);

// The program's icon, 16 to 72 pixels: the windows' icon and the splash screen's logo.
QIcon appIcon();

} // namespace kestrel::look
