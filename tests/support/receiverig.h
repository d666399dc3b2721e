#pragma once

#include "core/caption.h"
#include "decode/pairedlists.h"
#include "decode/recogniser.h"
#include "decode/tallies.h"
#include "link/receivepath.h"
#include "tests/support/linkrig.h"

#include <QTemporaryDir>

namespace kestrel::test {

// The serial link with the whole receive path behind it, as the window has it: raw replies,
// tallies, money label, status line, debugging values and a log file in a fresh directory. The
// clock reads 09:05:03 on the seventh of March 2026 unless the test sets it.
struct ReceiveRig : LinkRig
{
    ReceiveRig()
    {
        handler.setReceivePath(&receivePath);
        tallies.InitializeCount();
    }

    QStringList logFileLines() const
    {
        QFile file(logFile.path());
        if (!file.open(QIODevice::ReadOnly))
            return {};
        QStringList lines = QString::fromLatin1(file.readAll()).split(QStringLiteral("\r\n"));
        lines.removeLast();
        return lines;
    }
    // The board sends text; the console handles the receive event.
    void reply(const QByteArray &text)
    {
        device().arrive(text);
        deliverEvents();
    }

    LineListModel raw, coin, coinCount, bill, billCount, debugging, debuggingValue;
    MoneyTotal total;
    TextCaption totalLabel{"Total Money Received:"};
    TextCaption status{"Special Instructions:"};
    Tallies tallies{{coin, coinCount, bill, billCount, debugging, debuggingValue, actionLog, raw},
                    total, totalLabel, status};
    ReplyRecogniser recogniser{{coin, coinCount, bill, billCount, total, status, log}};
    QTemporaryDir dir;
    QDateTime now{QDate(2026, 3, 7), QTime(9, 5, 3)};
    LogFile logFile{dir.filePath("log.txt"), [this] { return now; }};
    ReceivePath receivePath{{com, raw, log, debuggingValue, tallies, recogniser, logFile}, 10};
};

} // namespace kestrel::test
