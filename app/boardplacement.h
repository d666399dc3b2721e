#pragma once

#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>

namespace kestrel::app {

// Where the virtual board's window opens, given the console's frame, the board window's frame
// size, the screen's available area and the console's controls (all in screen coordinates): beside
// the console (right, left, below, above, in that order) where it fits within the screen;
// otherwise at the place within the screen where it covers the fewest of the console's controls,
// and of those the least of the console, and of those the nearest to the console's right side.
// A window larger than the screen starts at the screen's top-left corner.
QPoint placeBoardWindow(const QRect &console, const QSize &board, const QRect &available,
                        const QList<QRect> &controls);

} // namespace kestrel::app
