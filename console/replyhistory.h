#pragma once

#include "console/pendingframes.h"
#include "core/linelistmodel.h"
#include "decode/replydetails.h"

#include <QObject>

#include <array>
#include <utility>

namespace kestrel::console {

// The one keeper of what the reply decoder needs to know about each row of the raw replies beyond
// its text: the frame that asked for it (the last frame sent to its peripheral, until a reply of
// that peripheral answers it), the frame last sent to any, and the SETUP replies seen before it.
// Each is kept as the rows at which it changed, so a stream of replies costs a look at its first
// byte and a length check each, and nothing more unless a reply is long enough to be a SETUP.
// The window's reply details, the command composer and the test plans all read it here.
class ReplyHistory : public QObject
{
    Q_OBJECT
public:
    ReplyHistory(core::LineListModel &replies, PendingFrames &frames, QObject *parent = nullptr);

    // The decoder's context for a row: its asking frame, the pending frame and the SETUP replies
    // up to it.
    decode::details::Context contextOf(int row) const;
    // The row decoded.
    decode::details::Decoded decode(int row) const;
    // What is known now of the three peripherals (their SETUP replies), for composing a command.
    const mdb::Known &known() const { return m_known; }

signals:
    // A SETUP reply changed what is known of a peripheral.
    void knownChanged();

private:
    void sent(const QByteArray &frame);
    void added(int first, int last);
    void forget();

    core::LineListModel &m_replies;
    PendingFrames &m_frames;
    std::array<QByteArray, 4> m_awaiting;                             // by peripheral: asked, not answered
    QList<std::pair<int, QByteArray>> m_pending;                     // (first row, frame last sent)
    QList<std::pair<int, QByteArray>> m_asked;                       // (row, the frame that asked for it)
    QList<std::pair<int, decode::details::MoneySetup>> m_setups[4];          // by peripheral
    mdb::Known m_known;
};

} // namespace kestrel::console
