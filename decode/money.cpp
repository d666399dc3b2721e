#include "decode/money.h"

#include "core/failure.h"

#include <limits>

namespace kestrel {

void MoneyTotal::add(qint64 cents)
{
    if (cents > 0 && m_cents > std::numeric_limits<qint64>::max() - cents)
        throw failures::overflow();
    m_cents += cents;
}

namespace money {

namespace {
QString twoDecimals(qint64 cents)
{
    return QStringLiteral("%1").arg(qAbs(cents % 100), 2, 10, QLatin1Char('0'));
}
} // namespace

QString plain(qint64 cents, const QLocale &locale)
{
    const QString sign = cents < 0 ? QStringLiteral("-") : QString();
    return sign + QString::number(qAbs(cents / 100)) + locale.decimalPoint() + twoDecimals(cents);
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
} // namespace kestrel
