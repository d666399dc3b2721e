#pragma once

#include "core/table.h"

#include <QString>
#include <QtGlobal>

namespace kestrel {

// One reply the console understands, from the coin changer (08) or the bill validator (30). A row
// either takes money in (counts a coin or bill on its tally row, writes its name text there, adds
// its value) or gives a notice (sets the status line). Either way it logs its message.
struct ReplyRow
{
    enum class Tally { None, Coin, Bill };

    const char *reply;     // compared whole with the reply code
    Tally tally;
    int row;               // for money rows: the coin or bill (denominations.h), its tally row
    const char *name;      // written to the tally's name list, for money rows
    const char *notice;    // status line, for notice rows
    const char *message;   // action-log line

    // What a money row adds to the total: the value of its coin or bill.
    qint64 cents() const;
};

namespace replies {

extern const core::Table<ReplyRow> kCoinsTakenIn;
extern const core::Table<ReplyRow> kCoinsPaidOut;
extern const core::Table<ReplyRow> kCoinsRejected;
extern const core::Table<ReplyRow> kChangerStatus;
extern const core::Table<ReplyRow> kBillsTakenIn;
extern const core::Table<ReplyRow> kValidatorStatus;

// The free-text notice: the reply "CC" is followed by up to 17 characters for the status line.
inline constexpr char kFreeText[] = "CC";
inline constexpr int kFreeTextLength = 17;

// The row whose reply equals the code exactly (case and blanks count), or null.
const ReplyRow *find(const QString &code);

} // namespace replies
} // namespace kestrel
