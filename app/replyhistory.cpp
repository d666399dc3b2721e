#include "app/replyhistory.h"

#include <algorithm>

namespace kestrel {

namespace {
// A reply shorter than this many characters ("08" and 20 bytes) is no SETUP reply of any device.
constexpr int kShortestSetup = 3 * 8 - 1;

// The last entry at or before the row.
template <class T>
const T *lastUpTo(const QList<std::pair<int, T>> &points, int row)
{
    const auto after = std::upper_bound(points.begin(), points.end(), row,
                                        [](int r, const std::pair<int, T> &p) { return r < p.first; });
    return after == points.begin() ? nullptr : &std::prev(after)->second;
}
} // namespace

ReplyHistory::ReplyHistory(LineListModel &replies, const QByteArray &pendingFrame, QObject *parent)
    : QObject(parent), m_replies(replies), m_pending(pendingFrame)
{
    connect(&replies, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex &, int first, int last) { added(first, last); });
    connect(&replies, &QAbstractItemModel::modelReset, this, &ReplyHistory::forget);
}

void ReplyHistory::added(int first, int last)
{
    for (int row = first; row <= last; ++row) {
        if (m_frames.isEmpty() || m_frames.last().second != m_pending)
            m_frames.append({row, m_pending});
        if (m_replies.row(row).size() < kShortestSetup)
            continue;
        const details::Decoded d = details::decode(m_replies.row(row), contextOf(row));
        if (d.setup)
            m_setups[int(d.device)].append({row, *d.setup});
    }
}

void ReplyHistory::forget()
{
    m_frames.clear();
    for (auto &setups : m_setups)
        setups.clear();
}

details::Context ReplyHistory::contextOf(int row) const
{
    details::Context context;
    if (const QByteArray *frame = lastUpTo(m_frames, row))
        context.pendingFrame = *frame;
    const auto setupOf = [&](details::Device device) -> std::optional<details::MoneySetup> {
        if (const details::MoneySetup *setup = lastUpTo(m_setups[int(device)], row))
            return *setup;
        return std::nullopt;
    };
    context.changer = setupOf(details::Device::Changer);
    context.validator = setupOf(details::Device::Validator);
    context.reader = setupOf(details::Device::Reader);
    return context;
}

details::Decoded ReplyHistory::decode(int row) const
{
    return details::decode(m_replies.row(row), contextOf(row));
}

} // namespace kestrel
