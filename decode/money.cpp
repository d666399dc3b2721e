#include "decode/money.h"

#include "core/failure.h"

#include <limits>

namespace kestrel::decode {

void MoneyTotal::add(qint64 cents)
{
    if (cents > 0 && m_cents > std::numeric_limits<qint64>::max() - cents)
        throw core::failures::overflow();
    m_cents += cents;
}

namespace money {

QString plain(qint64 cents, const QLocale &locale)
{
    // Written out by hand: the label shows it after every reply.
    QString text = QString::number(qAbs(cents / 100));
    if (cents < 0)
        text.prepend(QLatin1Char('-'));
    const qint64 hundredths = qAbs(cents % 100);
    text += locale.decimalPoint();
    text += QLatin1Char(char('0' + hundredths / 10));
    text += QLatin1Char(char('0' + hundredths % 10));
    return text;
}

QString currency(qint64 cents, const QLocale &locale)
{
    const QLocale shown = locale.currencySymbol().isEmpty()
                              ? QLocale(QLocale::English, QLocale::UnitedStates)
                              : locale;
    // The total itself is exact; a double holds cents / 100 closely enough that two decimals
    // always come back as the exact cents, for any total below ten million million dollars.
    return shown.toCurrencyString(double(cents) / 100.0, QString(), 2);
}

} // namespace money
} // namespace kestrel::decode
