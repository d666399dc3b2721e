#pragma once

#include "decode/replydetails.h"
#include "mdb/mdb.h"

#include <optional>

namespace kestrel::decode::details {

// What the decoders of the three peripherals share: the reading of one reply's bytes into fields,
// the money in the currency a SETUP reply gave, coin and bill names, and the parts that more than
// one peripheral's replies have (the SETUP head, the identification block).

// The four digits of a packed BCD code, or nothing when a nibble is no digit.
std::optional<int> bcd(quint16 code);
QString digits4(quint16 code);

QString coinName(int type);
QString billName(int type);

// Builds the fields of one reply, byte by byte.
class Reading
{
public:
    Reading(Decoded &d, const Context &context) : m_d(d), m_context(context) {}

    int size() const { return int(m_d.bytes.size()); }
    int left() const { return size() - m_at; }
    int at() const { return m_at; }
    quint8 byte(int i) const { return m_d.bytes.at(i); }
    quint16 word(int i) const { return quint16(byte(i) << 8 | byte(i + 1)); }

    void field(int length, const QString &name, const QString &value)
    {
        m_d.fields.append({m_at, length, name, value});
        m_at += length;
    }
    // A field the plan's watchers act on: what it is, of which type, and its number.
    void field(int length, const QString &name, const QString &value, mdb::FieldId id, int type = -1, qint64 number = 0)
    {
        m_d.fields.append({m_at, length, name, value, id, type, number});
        m_at += length;
    }
    // The reply's expected data length; a reply that is short says so.
    bool expect(int dataBytes)
    {
        const int came = size() - 1;
        if (came < dataBytes && came > 1)
            m_d.cutShort = true;
        if (came < dataBytes)
            m_d.notes << QStringLiteral("Too short: a %1 reply has %2 data bytes after the address, "
                                        "%3 came.")
                             .arg(m_d.reply).arg(dataBytes).arg(came);
        return came >= dataBytes;
    }
    // Whatever is left is shown as such, never dropped.
    void rest()
    {
        while (left() > 0)
            field(1, QStringLiteral("not understood"), mdb::hex(byte(m_at)));
    }

    QString text(int length) const
    {
        QString s;
        for (int i = m_at; i < m_at + length; ++i)
            s += QChar(byte(i) >= 0x20 && byte(i) < 0x7F ? QChar(byte(i)) : QChar(u'.'));
        return QStringLiteral("\"%1\"").arg(s);
    }
    QString version(int i) const
    {
        const std::optional<int> v = bcd(word(i));
        return v ? QStringLiteral("%1.%2").arg(*v / 100).arg(*v % 100, 2, 10, QLatin1Char('0'))
                 : QStringLiteral("%1 (not BCD)").arg(digits4(word(i)));
    }
    // An amount in the device's money, where its SETUP reply was seen in this run (or the one given).
    QString money(qint64 units);
    QString money(qint64 units, const std::optional<MoneySetup> &setup);
    bool unitsOnly() const { return m_unitsOnly; }

    const Context &context() const { return m_context; }
    Decoded &decoded() { return m_d; }

private:
    Decoded &m_d;
    const Context &m_context;
    int m_at = 0;
    bool m_unitsOnly = false;
};


// The head that the three devices' SETUP replies share: feature level, currency, scaling factor
// (one or two bytes) and decimal places. The scaling factor's name is the device's own.
MoneySetup setupHead(Reading &r, int scalingBytes, const QString &scalingName);
// Manufacturer, serial number, model, software version and, with `options`, the option bits.
void identification(Reading &r, int dataBytes, bool options);

// The fields of each layout, by peripheral.
void changerPoll(Reading &r);
void changerTubeStatus(Reading &r);
void changerSetup(Reading &r);
void changerIdentification(Reading &r);
void changerPayoutStatus(Reading &r);
void changerPayoutValuePoll(Reading &r);
void changerDiagnostics(Reading &r);
void changerManualFillReport(Reading &r);
void changerManualPayoutReport(Reading &r);
void validatorPoll(Reading &r);
void validatorSetup(Reading &r);
void validatorStacker(Reading &r);
void validatorIdentification(Reading &r);
void validatorIdentificationWithOptions(Reading &r);
void recyclerSetup(Reading &r);
void recyclerDispenseStatus(Reading &r);
void recyclerPayoutStatus(Reading &r);
void recyclerPayoutValuePoll(Reading &r);
void readerResponse(Reading &r);

} // namespace kestrel::decode::details
