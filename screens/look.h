#pragma once

#include <QFont>
#include <QIcon>
#include <QRect>

class QLabel;
class QWidget;

namespace kestrel::screens::look {

// Places and sizes are given in twips (1/1440 inch); at 15 twips per pixel they become Qt's logical
// pixels, which Qt scales on high-DPI screens.
constexpr int kTwipsPerPixel = 15;
constexpr int px(int twips) { return (twips + kTwipsPerPixel / 2) / kTwipsPerPixel; }
inline QRect pixels(int left, int top, int width, int height)
{
    return QRect(px(left), px(top), px(width), px(height));
}

// A control's place within its window, in twips.
struct Place
{
    int left, top, width, height;
};

inline QRect pixels(const Place &place)
{
    return pixels(place.left, place.top, place.width, place.height);
}

// Where a window stands: the size of its client area (below its menu bar, where it has one) and,
// for a window with a fixed place, that client area's top-left corner on the screen, in twips. A
// window with no fixed place is placed by the platform.
struct WindowPlace
{
    int clientWidth, clientHeight;
    bool fixed;
    int left, top;
};

// Every window of the program takes its size and place this way, from its row.
void placeWindow(QWidget &window, const WindowPlace &place, int menuHeight = 0);

// A label of a screen as data: its name, its text (see filledIn), its place and font, how its
// text is aligned, and whether the label is sized to its text (keeping its right edge when it is
// right-aligned) rather than to its place.
struct LabelRow
{
    const char *name;
    const char *text;
    Place place;
    double points;
    unsigned style;
    Qt::Alignment alignment;
    bool sizedToText = false;
};

// The label of the row, on its parent.
QLabel *makeLabel(const LabelRow &row, QWidget *parent);

// A caption of the program's own, with "{company}" and "{years}" standing for the maker and the
// copyright years.
QString filledIn(const char *text);

enum FontStyle : unsigned { Regular = 0, Bold = 1, Italic = 2, Underline = 4 };

// Arial at the given size. Where Arial is missing, fontconfig puts its metric twin Liberation Sans
// in its place, so texts keep their widths.
QFont arial(double points, unsigned style = Regular);

// The program's icon, 16 to 72 pixels: the windows' icon and the splash screen's logo.
QIcon appIcon();

} // namespace kestrel::screens::look
