#pragma once

#include "core/linelistmodel.h"
#include "decode/replydetails.h"

#include <QObject>

#include <utility>

namespace kestrel {

// What the reply decoder needs to know about a row of the raw replies beyond its text: the frame
// that was pending when it came, and the SETUP replies seen before it. Both are kept as the rows
// at which they changed, so a stream of replies costs a comparison and a length check each, and
// nothing more unless a reply is long enough to be a SETUP.
class ReplyHistory : public QObject
{
    Q_OBJECT
public:
    ReplyHistory(LineListModel &replies, const QByteArray &pendingFrame, QObject *parent = nullptr);

    // The decoder's context for a row: its pending frame and the SETUP replies up to it.
    details::Context contextOf(int row) const;
    // The row decoded.
    details::Decoded decode(int row) const;

private:
    void added(int first, int last);
    void forget();

    LineListModel &m_replies;
    const QByteArray &m_pending;
    QList<std::pair<int, QByteArray>> m_frames;                    // (first row, frame)
    QList<std::pair<int, details::MoneySetup>> m_setups[4];        // by device
};

} // namespace kestrel
