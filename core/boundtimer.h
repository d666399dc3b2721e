#pragma once

#include <QObject>
#include <QTimer>

#include <chrono>

namespace kestrel::core {

// A wait with a bound that is kept to the millisecond: it never ends before its bound and ends
// as soon after it as the event loop allows. Qt's default timers are coarse and may fire up to 5%
// early (50 ms of a second), which would fail a test plan's step before a reply that is on time;
// this one keeps its deadline on the steady clock and, woken early, waits out the rest.
class BoundTimer : public QObject
{
    Q_OBJECT
public:
    using Clock = std::chrono::steady_clock;

    explicit BoundTimer(QObject *parent = nullptr);

    void start(std::chrono::milliseconds bound);
    void stop();
    bool isActive() const { return m_timer.isActive(); }
    Clock::time_point deadline() const { return m_deadline; }

signals:
    // The bound has passed.
    void expired();

private:
    void arm();

    QTimer m_timer;
    Clock::time_point m_deadline;
};

} // namespace kestrel::core
