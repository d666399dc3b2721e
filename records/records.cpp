#include "records/records.h"

#include <QUuid>

#include <algorithm>

namespace kestrel::records {

QString Unit::address() const
{
    return QStringLiteral("%1").arg(mdb::addressOf(peripheral), 2, 16, QLatin1Char('0')).toUpper();
}

QString Unit::kind() const
{
    return mdb::nameOf(peripheral);
}

QString Unit::serialText() const
{
    return identified() ? serial : QStringLiteral("unidentified");
}

std::optional<int> RunRecord::shortfall() const
{
    std::optional<int> missing;
    for (const PayoutRecord &p : payouts)
        if (p.tubeChange && p.requested > 0)
            missing = missing.value_or(0) + std::max(0, p.requested - (-*p.tubeChange));
    return missing;
}

std::optional<double> RunRecord::medianRoundTripMs() const
{
    if (roundTrips.isEmpty())
        return std::nullopt;
    QList<double> ms;
    for (const RoundTripRecord &t : roundTrips)
        ms.append(t.ms);
    std::sort(ms.begin(), ms.end());
    const qsizetype n = ms.size();
    return n % 2 ? ms[n / 2] : (ms[n / 2 - 1] + ms[n / 2]) / 2;
}

QString newUuid()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces);
}

} // namespace kestrel::records
