#pragma once

#include "link/serialdevice.h"
#include "sim/peripherals.h"

#include <QList>
#include <QTimer>

namespace kestrel::sim {

// A virtual interface board with a coin changer, a bill validator and a cashless reader behind it,
// as one more serial device: the console cannot tell it from a real port. It answers a raised DTR
// with a CTS change after a few milliseconds, takes the frame the console writes, hands it to the
// peripheral it is addressed to, and sends their replies as hex text, one reply per read, spaced in
// time. The operator's actions on the board (coins, bills, faults) reply the same way.
class VirtualBoard : public SerialDevice
{
    Q_OBJECT
public:
    static constexpr int kCtsDelayMs = 3;
    static constexpr int kReplySpacingMs = 40;

    explicit VirtualBoard(QObject *parent = nullptr);

    // SerialDevice
    QString name() const override { return QStringLiteral("virtual"); }
    void open() override;
    void close() override;
    bool isOpen() const override { return m_open; }
    void setDtr(bool high) override;
    void write(const QByteArray &frame) override;
    QByteArray read() override;
    QByteArray peek() override;
    int waiting() override;

    // What the operator does on the board.
    void insertCoin(CoinChanger::Coin coin);
    void insertBill(BillValidator::Bill bill);
    void sendReply(const QString &text);             // sent exactly as typed
    void sendNotice(const QString &text);            // "CC", and the text right after it is read
    void raiseLineEvent(int code);                   // framing, overrun, parity...

    const CoinChanger &changer() const { return m_changer; }
    CoinChanger &changer() { return m_changer; }
    const BillValidator &validator() const { return m_validator; }
    const CashlessReader &reader() const { return m_reader; }
    bool dtr() const { return m_dtr; }
    int pendingReplies() const { return int(m_queue.size()); }

    void setReplySpacing(int ms) { m_replies.setInterval(ms); }

signals:
    void frameReceived(const QByteArray &frame);
    void replySent(const QString &text);
    void stateChanged();

private:
    struct Reply
    {
        QString text;
        QString followUp;   // sent on the read that takes this reply
    };
    void queue(const QString &text, const QString &followUp = QString());
    void deliverNext();

    CoinChanger m_changer;
    BillValidator m_validator;
    CashlessReader m_reader;

    bool m_open = false;
    bool m_dtr = false;
    bool m_cts = false;
    QByteArray m_received;          // what the console has not read yet
    QString m_followUp;
    bool m_followUpArmed = false;
    QList<Reply> m_queue;
    QTimer m_ctsTimer;
    QTimer m_replies;
};

} // namespace kestrel::sim
