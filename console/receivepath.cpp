#include "console/receivepath.h"

#include <algorithm>

namespace kestrel {

QString ReceivePath::replyCode(const QString &input)
{
    return trimSpaces(input.left(8));
}

QStringList ReceivePath::splitAtLineEnds(const QString &input)
{
    QStringList replies;
    qsizetype begin = 0;
    for (qsizetype lf = input.indexOf(QLatin1Char('\n')); lf >= 0; lf = input.indexOf(QLatin1Char('\n'), begin)) {
        const QString piece = input.mid(begin, lf + 1 - begin);
        // Line ends alone (a board that ends a reply twice) are no reply: they stay with the one
        // before.
        const bool lineEndsOnly = std::all_of(piece.begin(), piece.end(), [](QChar c) {
            return c == QLatin1Char('\r') || c == QLatin1Char('\n');
        });
        if (lineEndsOnly && !replies.isEmpty())
            replies.last() += piece;
        else
            replies.append(piece);
        begin = lf + 1;
    }
    // Text after the last line feed (a status code, a notice's "CC"), or a read with none at all.
    if (begin < input.size() || replies.isEmpty())
        replies.append(input.mid(begin));
    return replies;
}

void ReceivePath::handleReply(const QString &input, Trap &trap)
{
    QString code;
    trap([&] { code = replyCode(input); });
    trap([&] { m_state.List1.append(input); });
    trap([&] { m_state.log.list().selectLast(); });
    // A notice's text is read after its "CC"; the label keeps a part of it, and the whole
    // text goes to the raw replies and the log file as a read of its own. A "CC" has no line
    // end, so it is always the last reply of its read.
    QString noticeText;
    m_recogniser.recognise(code, trap, [&] {
        awaitNoticeText(m_com);
        noticeText = m_com.Input();
        return noticeText;
    });
    if (!noticeText.isEmpty())
        trap([&] { m_state.List1.append(noticeText); });
    trap([&] { m_tallies.showTotalAfterReply(); });
    m_logFile.append(input, trap);
    if (!noticeText.isEmpty())
        m_logFile.append(noticeText, trap);
}

void ReceivePath::receive(Trap &trap)
{
    CommControl &com = m_com;
    for (;;) {
        // A loop test that fails ends the loop rather than spinning on a port that fails every
        // time; the serial control raises the receive notification again after a back-off.
        bool waiting = false;
        if (!trap([&] { waiting = com.InBufferCount() > 0; })) {
            com.retryReceiveLater();
            return;
        }
        if (!waiting)
            return;
        pauseBeforeRead(com, m_pause);

        QString input;
        // A read that fails ends the loop too, and is retried the same way.
        const bool read = trap([&] { input = com.Input(); });
        // A console that looked at the line late finds several replies waiting: each one that
        // ends in a line feed is a reply of its own, with its own raw row, recognition and log
        // line, so that the second coin of two is counted as well as the first.
        for (const QString &reply : splitAtLineEnds(input))
            handleReply(reply, trap);
        trap([&] { m_state.lstDebuggingValue.setRow(0, QString::number(com.InBufferCount())); });
        trap([&] { m_state.lstDebuggingValue.setRow(1, QString::number(com.InputLen())); });
        trap([&] { m_state.lstDebuggingValue.setRow(2, com.peekInput()); });
        if (!read) {
            com.retryReceiveLater();
            return;
        }
    }
}

} // namespace kestrel
