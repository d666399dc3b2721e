#include "records/sessionrecorder.h"

#include "records/runrecorder.h"

namespace kestrel::records {

namespace {
// The shortest identification reply as the board writes it: the address byte and 29 data bytes
// (a bill validator's, level 1), as hex text with blanks. Shorter replies need no decoding here.
constexpr int kShortestIdentification = 30 * 3 - 1;

void addTallies(QList<QPair<QString, int>> &tallies, const core::LineListModel &names, const core::LineListModel &counts)
{
    for (int i = 0; i < names.count() && i < counts.count(); ++i)
        tallies.append({names.row(i), counts.row(i).toInt()});
}
} // namespace

SessionRecorder::SessionRecorder(Store *store, console::Console &console, QObject *parent)
    : QObject(parent), m_store(store), m_console(console)
{
    connect(&console.comInterface, &link::CommControl::portOpened, this, &SessionRecorder::opened);
    connect(&console.comInterface, &link::CommControl::portClosed, this, &SessionRecorder::closed);
    connect(&console, &console::Console::replyRead, this, [this](const QString &text) { replyRead(text); });
}

SessionRecorder::~SessionRecorder()
{
    closed();
}

void SessionRecorder::opened()
{
    m_open = true;
    m_record = SessionRecord{};
    m_record.uuid = newUuid();
    m_record.port = m_console.comInterface.portName();
    m_record.started = QDateTime::currentDateTime();
    m_identities = plans::IdentityWatcher{};
    if (m_store && m_store->isOpen())
        m_store->saveSession(m_record, false);
}

void SessionRecorder::replyRead(const QString &text)
{
    if (!m_open)
        return;
    ++m_record.replies;
    if (text.size() < kShortestIdentification)
        return;
    const int row = m_console.state.List1.count() - 1;
    if (row >= 0 && m_console.state.List1.row(row) == text)
        m_identities.replyRead(m_console.history.decode(row));
}

void SessionRecorder::closed()
{
    if (!m_open)
        return;
    m_open = false;
    m_record.ended = QDateTime::currentDateTime();
    m_record.totalCents = m_console.state.TotalReceived.cents();
    m_record.tallies.clear();
    addTallies(m_record.tallies, m_console.state.lstCoin, m_console.state.lstCoinCount);
    addTallies(m_record.tallies, m_console.state.lstBill, m_console.state.lstBillCount);
    m_record.units.clear();
    for (const auto &identity : m_identities.identities()) {
        const Unit unit = unitOf(identity);
        if (unit.identified() && unit.peripheral != mdb::Peripheral::Unknown)
            m_record.units.append(unit);
    }
    if (m_store && m_store->isOpen() && m_store->saveSession(m_record, true))
        emit queued();
}

} // namespace kestrel::records
