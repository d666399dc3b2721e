#pragma once

#include "records/records.h"

#include <QString>

namespace kestrel::records {

// The bench history as text, for `kestrel --history`: a table a person reads at a prompt, or CSV for
// a spreadsheet. The same columns either way.
enum class TextForm { Table, Csv };

// The units, one line each: serial number, kind, model, manufacturer, runs, last result, last seen.
QString unitsText(const QList<UnitRow> &units, TextForm form);
// One unit's runs, oldest first: a heading line naming the unit (table only), then a line per run.
QString runsText(const UnitRow &unit, const QList<HistoryRow> &runs, TextForm form);

} // namespace kestrel::records
