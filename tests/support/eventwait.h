#pragma once

#include <QEventLoop>
#include <QTimer>

#include <functional>

namespace kestrel::test {

// Runs the event loop, as the program's own does, until `done` holds or `ms` pass; tells whether
// it holds. QTest's waits sleep 10 ms at a time between turns of the loop, which would hold back
// every receive notification of a line delivering a character each millisecond; this one sleeps
// only in the event loop's own wait, so a notification is handled the moment it comes.
inline bool runUntil(const std::function<bool()> &done, int ms = 5000)
{
    if (done())
        return true;
    QEventLoop loop;
    QTimer look;
    look.setInterval(1);
    QObject::connect(&look, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    look.start();
    loop.exec();
    return done();
}

// Runs the event loop for `ms`.
inline void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace kestrel::test
