#pragma once

#include "console/console.h"
#include "plans/identitywatcher.h"
#include "records/store.h"

#include <QObject>

namespace kestrel::records {

// Keeps each session of the console in the bench records: from the port opening to its closing,
// the port, the replies read, the money total and the tallies, and the units that identified
// themselves. Written when the port opens and when it closes (or the recorder goes). Only replies
// long enough to be an identification are decoded, so the recorder costs a count per reply.
class SessionRecorder : public QObject
{
    Q_OBJECT
public:
    SessionRecorder(Store *store, console::Console &console, QObject *parent = nullptr);
    ~SessionRecorder() override;

    const SessionRecord &record() const { return m_record; }
    bool inSession() const { return m_open; }

signals:
    void queued();

private:
    void opened();
    void closed();
    void replyRead(const QString &text);

    Store *m_store;
    console::Console &m_console;
    SessionRecord m_record;
    plans::IdentityWatcher m_identities;
    bool m_open = false;
};

} // namespace kestrel::records
