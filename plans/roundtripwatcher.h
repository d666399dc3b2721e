#pragma once

#include <QList>
#include <QString>

#include <optional>

namespace kestrel::plans {

// The round trip of each command a plan sends: from its frame leaving the console to the reply its
// step expected being read. A command's first expectation met ends its round trip; replies met
// after it are no round trip of it.
class RoundTripWatcher
{
public:
    struct RoundTrip
    {
        QString command;
        double ms;
        double writtenAtMs = 0;   // when its frame left, from the start of the run
    };

    // A command queued (a press, a send), by the name the report gives it.
    void commandQueued(const QString &command) { m_command = command; }
    void frameWritten(double atMs) { m_writtenAt = atMs; }
    // An expectation met by a reply read at that time.
    void expectationMet(double replyAtMs);
    const QList<RoundTrip> &roundTrips() const { return m_trips; }

private:
    QString m_command;
    std::optional<double> m_writtenAt;
    QList<RoundTrip> m_trips;
};

} // namespace kestrel::plans
