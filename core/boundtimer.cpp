#include "core/boundtimer.h"

#include <algorithm>

namespace kestrel::core {

BoundTimer::BoundTimer(QObject *parent) : QObject(parent)
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        if (Clock::now() < m_deadline) {
            arm();
            return;
        }
        emit expired();
    });
}

void BoundTimer::start(std::chrono::milliseconds bound)
{
    m_deadline = Clock::now() + bound;
    arm();
}

void BoundTimer::stop()
{
    m_timer.stop();
}

void BoundTimer::arm()
{
    // Rounded up: a timer set for the whole milliseconds left cannot end before the deadline.
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(m_deadline - Clock::now());
    m_timer.start(int(std::max<std::chrono::milliseconds::rep>(0, left.count())));
}

} // namespace kestrel::core
