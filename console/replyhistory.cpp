#include "console/replyhistory.h"

#include <algorithm>

namespace kestrel::console {

namespace {
// A reply shorter than this many characters (its address and 7 bytes, the reader's configuration)
// is no SETUP reply of any device.
constexpr int kShortestSetup = 3 * 8 - 1;

// The last entry at or before the row.
template <class T>
const T *lastUpTo(const QList<std::pair<int, T>> &points, int row)
{
    const auto after = std::upper_bound(points.begin(), points.end(), row,
                                        [](int r, const std::pair<int, T> &p) { return r < p.first; });
    return after == points.begin() ? nullptr : &std::prev(after)->second;
}

// The peripheral whose address a reply text starts with ("08 ..."), read from its first two hex
// digits alone.
mdb::Peripheral addressedBy(const QString &text)
{
    if (text.size() < 2)
        return mdb::Peripheral::Unknown;
    bool ok = false;
    const uint first = QStringView(text).left(2).toUInt(&ok, 16);
    if (!ok || (first & ~uint(mdb::kAddressMask)))
        return mdb::Peripheral::Unknown;
    return mdb::peripheralOf(quint8(first));
}

std::optional<decode::details::MoneySetup> &knownOf(mdb::Known &known, mdb::Peripheral peripheral)
{
    static std::optional<decode::details::MoneySetup> none;
    switch (peripheral) {
    case mdb::Peripheral::Changer: return known.changer;
    case mdb::Peripheral::Validator: return known.validator;
    case mdb::Peripheral::Reader: return known.reader;
    default: return none = std::nullopt;
    }
}
} // namespace

ReplyHistory::ReplyHistory(core::LineListModel &replies, PendingFrames &frames, QObject *parent)
    : QObject(parent), m_replies(replies), m_frames(frames)
{
    connect(&frames, &PendingFrames::frameWritten, this, [this](const QByteArray &frame) { sent(frame); });
    connect(&replies, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex &, int first, int last) { added(first, last); });
    connect(&replies, &QAbstractItemModel::modelReset, this, &ReplyHistory::forget);
}

void ReplyHistory::sent(const QByteArray &frame)
{
    if (frame.isEmpty())
        return;
    const mdb::Peripheral to = mdb::peripheralOf(quint8(frame[0]));
    if (to != mdb::Peripheral::Unknown)
        m_awaiting[std::size_t(to)] = frame;
}

void ReplyHistory::added(int first, int last)
{
    for (int row = first; row <= last; ++row) {
        const QByteArray &pending = m_frames.lastSent();
        if (m_pending.isEmpty() || m_pending.last().second != pending)
            m_pending.append({row, pending});
        const QString text = m_replies.row(row);
        const mdb::Peripheral from = addressedBy(text);
        if (from != mdb::Peripheral::Unknown && !m_awaiting[std::size_t(from)].isEmpty())
            m_asked.append({row, std::exchange(m_awaiting[std::size_t(from)], QByteArray())});
        if (text.size() < kShortestSetup)
            continue;
        const decode::details::Decoded d = decode::details::decode(text, contextOf(row));
        if (d.setup && d.device != mdb::Peripheral::Unknown) {
            m_setups[int(d.device)].append({row, *d.setup});
            knownOf(m_known, d.device) = *d.setup;
            emit knownChanged();
        }
    }
}

void ReplyHistory::forget()
{
    m_pending.clear();
    m_asked.clear();
    for (auto &setups : m_setups)
        setups.clear();
}

decode::details::Context ReplyHistory::contextOf(int row) const
{
    decode::details::Context context;
    if (const QByteArray *frame = lastUpTo(m_pending, row))
        context.pendingFrame = *frame;
    const auto asked = std::lower_bound(m_asked.begin(), m_asked.end(), row,
                                        [](const std::pair<int, QByteArray> &p, int r) { return p.first < r; });
    if (asked != m_asked.end() && asked->first == row)
        context.asked = asked->second;
    const auto setupOf = [&](mdb::Peripheral device) -> std::optional<decode::details::MoneySetup> {
        if (const decode::details::MoneySetup *setup = lastUpTo(m_setups[int(device)], row))
            return *setup;
        return std::nullopt;
    };
    context.known.changer = setupOf(mdb::Peripheral::Changer);
    context.known.validator = setupOf(mdb::Peripheral::Validator);
    context.known.reader = setupOf(mdb::Peripheral::Reader);
    return context;
}

decode::details::Decoded ReplyHistory::decode(int row) const
{
    return decode::details::decode(m_replies.row(row), contextOf(row));
}

} // namespace kestrel::console
