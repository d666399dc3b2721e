#include "records/historytext.h"

#include <QLocale>

#include <algorithm>

namespace kestrel::records {

namespace {

using Rows = QList<QStringList>;

QString csvField(const QString &text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char('\n')))
        return text;
    return QLatin1Char('"') + QString(text).replace(QLatin1Char('"'), QLatin1String("\"\"")) + QLatin1Char('"');
}

// Columns padded to their widest cell, two blanks apart; the last column is not padded.
QString render(const Rows &rows, TextForm form)
{
    QString out;
    if (form == TextForm::Csv) {
        for (const QStringList &row : rows) {
            QStringList fields;
            for (const QString &cell : row)
                fields << csvField(cell);
            out += fields.join(QLatin1Char(',')) + QLatin1Char('\n');
        }
        return out;
    }
    QList<int> widths;
    for (const QStringList &row : rows)
        for (int i = 0; i < row.size(); ++i) {
            if (widths.size() <= i)
                widths.append(0);
            widths[i] = std::max(widths[i], int(row[i].size()));
        }
    for (const QStringList &row : rows) {
        QString line;
        for (int i = 0; i < row.size(); ++i)
            line += i + 1 < row.size() ? row[i].leftJustified(widths[i] + 2) : row[i];
        out += line.trimmed() + QLatin1Char('\n');
    }
    return out;
}

QString when(const QDateTime &t)
{
    return t.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

} // namespace

QString unitsText(const QList<UnitRow> &units, TextForm form)
{
    Rows rows{{QStringLiteral("serial"), QStringLiteral("kind"), QStringLiteral("model"), QStringLiteral("manufacturer"),
               QStringLiteral("runs"), QStringLiteral("last result"), QStringLiteral("last seen")}};
    for (const UnitRow &u : units)
        rows.append({u.unit.serialText(), u.unit.kind(), u.unit.model, u.unit.manufacturer, QString::number(u.runs),
                     u.lastResult.isEmpty() ? QStringLiteral("-") : u.lastResult, when(u.lastSeen)});
    return render(rows, form);
}

QString runsText(const UnitRow &unit, const QList<HistoryRow> &runs, TextForm form)
{
    Rows rows{{QStringLiteral("started"), QStringLiteral("plan"), QStringLiteral("result"), QStringLiteral("shortfall"),
               QStringLiteral("median ms"), QStringLiteral("port"), QStringLiteral("report")}};
    for (const HistoryRow &r : runs)
        rows.append({when(r.started), r.plan, r.result, r.shortfall ? QString::number(*r.shortfall) : QStringLiteral("-"),
                     r.medianMs ? QString::number(*r.medianMs, 'f', 1) : QStringLiteral("-"), r.port,
                     r.report.isEmpty() ? QStringLiteral("-") : r.report});
    QString heading;
    if (form == TextForm::Table)
        heading = QStringLiteral("%1 %2, %3 %4, software %5, level %6: %7 runs\n")
                      .arg(unit.unit.kind(), unit.unit.serialText(), unit.unit.manufacturer, unit.unit.model,
                           unit.unit.software.isEmpty() ? QStringLiteral("-") : unit.unit.software,
                           unit.unit.level < 0 ? QStringLiteral("-") : QString::number(unit.unit.level))
                      .arg(unit.runs);
    return heading + render(rows, form);
}

} // namespace kestrel::records
