#pragma once

#include "records/push.h"
#include "records/store.h"

#include <QCommandLineParser>
#include <QObject>

#include <functional>
#include <memory>

namespace kestrel::session {

// The shop's records server the console pushes to: --records URL, else `server` in the [records]
// group of the settings file (Kestrel.ini in the user's settings folder), else none.
QString recordsServer(const QCommandLineParser &parser);

// The bench records of one console: the local file, opened at start, and the push to the shop's
// server when one is named. A problem is told once through `tell` (the action log in the window,
// stderr headless), and the console goes on without records.
class BenchRecords : public QObject
{
    Q_OBJECT
public:
    // With no `tell`, problems are held until tellTo() names where they go (the window's action
    // log, once the window exists).
    explicit BenchRecords(const QCommandLineParser &parser, std::function<void(const QString &)> tell = {},
                          QObject *parent = nullptr);
    void tellTo(std::function<void(const QString &)> tell);
    ~BenchRecords() override;

    // The store, or nullptr when the records cannot be kept this session.
    records::Store *store();
    // Records were queued for the shop's server (a recorder's `queued`): pushed soon.
    void nudge();
    // At the end of a headless run: what was queued is pushed, waiting up to `ms`.
    void flush(int ms);

private:
    void told(const QString &message);

    std::function<void(const QString &)> m_tell;
    QStringList m_held;
    std::unique_ptr<records::Store> m_store;
    std::unique_ptr<records::Pusher> m_pusher;
};

// `kestrel --history [SERIAL] [--last N] [--csv]`: the units, or one unit's runs, as a table or CSV.
// Returns 0, or 1 for a serial number the records do not know (nothing printed), 2 when the records
// cannot be read.
int printHistory(const QCommandLineParser &parser);

} // namespace kestrel::session
