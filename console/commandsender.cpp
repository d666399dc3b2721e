#include "console/commandsender.h"

#include "mdb/denominations.h"

namespace kestrel::console {

CommandSender::CommandSender(Console &console, QObject *parent)
    : QObject(parent), m_console(console)
{
    connect(&m_console.pendingFrames, &PendingFrames::frameWritten, this, [this](const QByteArray &frame) {
        if (frame.isEmpty() || frame != m_waitingFor)
            return;
        m_waitingFor.clear();
        m_answering = mdb::peripheralOf(quint8(frame[0]));
    });
    connect(&m_console, &Console::replyRead, this, [this](const QString &text) {
        if (m_answering == mdb::Peripheral::Unknown)
            return;
        const std::optional<QByteArray> bytes = mdb::replyBytes(text);
        if (!bytes || mdb::peripheralOf(quint8(bytes->at(0))) != m_answering)
            return;
        m_answering = mdb::Peripheral::Unknown;
        const int row = m_console.state.List1.count() - 1;
        emit replyDecoded(decode::details::describe(row >= 0 ? m_console.history.decode(row) : decode::details::decode(text)));
    });
}

mdb::Composed CommandSender::preview(const mdb::CommandSpec &command, const QList<mdb::Given> &given) const
{
    return mdb::compose(command, given, m_console.history.known());
}

CommandSender::Outcome CommandSender::send(const mdb::CommandSpec &command, const QList<mdb::Given> &given)
{
    const mdb::Composed composed = preview(command, given);
    if (!composed.error.isEmpty())
        return {false, QStringLiteral("Not sent: %1.").arg(composed.error), false};
    if (!composed.warning.isEmpty() && composed.frame != m_confirmed) {
        m_confirmed = composed.frame;
        return {false, QStringLiteral("%1 Press Send again to send it anyway.").arg(composed.warning), true};
    }
    m_confirmed.clear();
    return queue(composed.frame, QString::fromLatin1(command.name));
}

CommandSender::Outcome CommandSender::sendRaw(const QString &hexText)
{
    const mdb::Composed raw = mdb::composeRaw(hexText);
    if (!raw.error.isEmpty())
        return {false, QStringLiteral("Not sent: %1.").arg(raw.error), false};
    if (mdb::peripheralOf(quint8(raw.frame[0])) == mdb::Peripheral::Unknown)
        return {false, QStringLiteral("Not sent: %1 addresses no peripheral of the console.").arg(mdb::hex(raw.frame)), false};
    const mdb::CommandSpec *known = mdb::commandOf(raw.frame);
    return queue(raw.frame, known ? QString::fromLatin1(known->name) : mdb::hex(raw.frame));
}

CommandSender::Outcome CommandSender::queue(const QByteArray &frame, const QString &name)
{
    if (!m_console.comInterface.PortOpen())
        return {false, QStringLiteral("Not sent: no port is open (pick one on the Setup tab)."), false};
    const int before = m_console.pendingFrames.count();
    m_waitingFor = frame;
    m_answering = mdb::Peripheral::Unknown;
    m_console.send.sendCommand(frame, name);
    if (m_console.pendingFrames.count() <= before && m_waitingFor == frame) {
        // Refused by the queue (full) or its DTR: the action log has its error line.
        m_waitingFor.clear();
        const QStringList log = m_console.state.lstActionLog.rows();
        return {false, QStringLiteral("Not sent: %1").arg(log.isEmpty() ? QString() : log.last()), false};
    }
    return {true, QStringLiteral("%1 (%2) waits for the board's handshake.").arg(name, mdb::hex(frame)), false};
}

QString CommandSender::hint(const mdb::Param &param, mdb::Peripheral peripheral, const mdb::Known &known)
{
    const std::optional<mdb::MoneySetup> &setup = known.of(peripheral);
    switch (param.unit) {
    case mdb::Unit::Money:
        return setup ? QStringLiteral("dollars and cents, in units of %1 (%2 to %3)")
                           .arg(mdb::moneyText(1, *setup), mdb::moneyText(param.low, *setup), mdb::moneyText(param.high, *setup))
                     : QStringLiteral("dollars and cents; the %1's SETUP must be read first").arg(mdb::nameOf(peripheral));
    case mdb::Unit::CoinType:
    case mdb::Unit::BillType: {
        QStringList names;
        if (param.unit == mdb::Unit::CoinType)
            for (const denominations::Coin &c : denominations::kCoins)
                names << QLatin1String(c.name);
        else
            for (const denominations::Bill &b : denominations::kBills)
                names << QLatin1String(b.name);
        return QStringLiteral("0 to 15, or %1").arg(names.join(QStringLiteral(", ")));
    }
    case mdb::Unit::Mask:
    case mdb::Unit::TypeBytes:
        return QStringLiteral("bits, such as 0x%1").arg(QString::number(param.high, 16).toUpper());
    case mdb::Unit::Choice:
        return QString::fromLatin1(param.choices).replace(QLatin1Char(','), QStringLiteral(" or "));
    case mdb::Unit::Text:
        return QStringLiteral("up to %1 characters").arg(param.bytes);
    case mdb::Unit::Bcd:
        return QStringLiteral("up to %1 digits").arg(2 * param.bytes);
    case mdb::Unit::Number:
        break;
    }
    return QStringLiteral("%1 to %2").arg(param.low).arg(param.high);
}

} // namespace kestrel::console
