#pragma once

#include <QSocketNotifier>
#include <QString>

#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace kestrel::test {

// A second reader of a serial line, made before the port under test opens it, so that it is told
// of arriving characters first in the same turn of the event loop. It takes what arrives once and
// leaves EAGAIN in errno, as a non-blocking socket of the accessibility bus does; the port's own
// read then finds nothing.
class LineThief
{
public:
    explicit LineThief(const QString &path)
        : m_fd(::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK))
    {
        if (m_fd < 0)
            return;
        m_notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
        QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(), [this] {
            char taken[64];
            while (::read(m_fd, taken, sizeof taken) > 0) {
            }
            m_notifier->setEnabled(false);
            errno = EAGAIN;
        });
    }
    ~LineThief()
    {
        m_notifier.reset();
        if (m_fd >= 0)
            ::close(m_fd);
    }
    LineThief(const LineThief &) = delete;
    LineThief &operator=(const LineThief &) = delete;

    bool ok() const { return m_fd >= 0; }
    bool hasTaken() const { return m_notifier && !m_notifier->isEnabled(); }

private:
    int m_fd;
    std::unique_ptr<QSocketNotifier> m_notifier;
};

} // namespace kestrel::test
