#include "app/boardplacement.h"

#include <algorithm>
#include <limits>
#include <tuple>

namespace kestrel::app {

namespace {
constexpr int kGap = 12;     // pixels between the console and the board window beside it
constexpr int kStep = 8;     // how finely the screen is searched when nothing fits beside

qint64 area(const QRect &r) { return r.isEmpty() ? 0 : qint64(r.width()) * r.height(); }
} // namespace

QPoint placeBoardWindow(const QRect &console, const QSize &board, const QRect &available,
                        const QList<QRect> &controls)
{
    const QPoint beside[] = {
        {console.right() + 1 + kGap, console.top()},
        {console.left() - kGap - board.width(), console.top()},
        {console.left(), console.bottom() + 1 + kGap},
        {console.left(), console.top() - kGap - board.height()},
    };
    for (const QPoint &place : beside)
        if (available.contains(QRect(place, board)))
            return place;

    const int lastX = available.right() + 1 - board.width();
    const int lastY = available.bottom() + 1 - board.height();
    if (lastX < available.left() || lastY < available.top())
        return available.topLeft();

    // Every place within the screen, on a grid that includes its far edges.
    const auto steps = [](int from, int to) {
        QList<int> at;
        for (int v = from; v < to; v += kStep)
            at.append(v);
        at.append(to);
        return at;
    };
    using Cost = std::tuple<int, qint64, qint64>;   // controls covered, console covered, distance
    Cost best{std::numeric_limits<int>::max(), 0, 0};
    QPoint bestPlace = available.topLeft();
    for (int y : steps(available.top(), lastY)) {
        for (int x : steps(available.left(), lastX)) {
            const QRect frame(QPoint(x, y), board);
            const int covered = int(std::count_if(controls.begin(), controls.end(),
                                                  [&](const QRect &c) { return frame.intersects(c); }));
            const QPoint off = QPoint(x, y) - beside[0];
            const Cost cost{covered, area(frame & console),
                            qint64(off.x()) * off.x() + qint64(off.y()) * off.y()};
            if (cost < best) {
                best = cost;
                bestPlace = {x, y};
            }
        }
    }
    return bestPlace;
}

} // namespace kestrel::app
