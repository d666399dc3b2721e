#pragma once

#include <QLocale>
#include <QString>
#include <QtGlobal>

namespace kestrel::decode {

// The money taken in so far, kept as an exact whole number of cents so that the total never drifts:
// twenty nickels make exactly 1.00 and five thousand make exactly 250.00.
class MoneyTotal
{
public:
    qint64 cents() const { return m_cents; }
    void add(qint64 cents);          // Failure overflow past the largest total
    void reset() { m_cents = 0; }

private:
    qint64 m_cents = 0;
};

namespace money {
// "###0.00": at least one integer digit, no digit grouping, two decimals, with the locale's
// decimal separator.
QString plain(qint64 cents, const QLocale &locale = QLocale());
// The locale's currency format: symbol, digit grouping, two decimals. A locale without a currency
// symbol (C/POSIX) shows dollars, so 0 reads "$0.00".
QString currency(qint64 cents, const QLocale &locale = QLocale());
} // namespace money

} // namespace kestrel::decode
