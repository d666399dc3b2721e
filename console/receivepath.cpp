#include "console/receivepath.h"

#include "mdb/replytables.h"

#include <algorithm>

namespace kestrel::console {

namespace {

bool isLineEnd(QChar c)
{
    return c == QLatin1Char('\r') || c == QLatin1Char('\n');
}

bool isHexDigit(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= '0' && u <= '9') || (u >= 'A' && u <= 'F') || (u >= 'a' && u <= 'f');
}

// A reply whose hex bytes run into the next reply's: cut where a byte's two digits end inside a
// run of more. Only text that is hex bytes throughout (runs of an even number of digits, single
// blanks between, then line ends) is cut; anything else is left whole.
QStringList cutJoined(const QString &reply)
{
    qsizetype end = reply.size();
    while (end > 0 && isLineEnd(reply[end - 1]))
        --end;
    QList<qsizetype> cuts;
    for (qsizetype i = 0; i < end;) {
        qsizetype j = i;
        while (j < end && isHexDigit(reply[j]))
            ++j;
        if (j == i || (j - i) % 2)
            return {reply};
        for (qsizetype k = i + 2; k < j; k += 2)
            cuts << k;
        if (j == end)
            break;
        if (reply[j] != QLatin1Char(' ') || j + 1 == end)
            return {reply};
        i = j + 1;
    }
    if (cuts.isEmpty())
        return {reply};
    QStringList pieces;
    qsizetype from = 0;
    for (const qsizetype cut : cuts) {
        pieces << reply.mid(from, cut - from);
        from = cut;
    }
    pieces << reply.mid(from);
    return pieces;
}

} // namespace

QString ReceivePath::replyCode(const QString &input)
{
    return core::trimSpaces(input.left(8));
}

QStringList ReceivePath::splitReplies(const QString &input)
{
    QStringList lines;
    qsizetype begin = 0;
    for (qsizetype i = 0; i < input.size(); ++i) {
        // A line feed ends a reply, and so does a carriage return with no line feed after it; CR
        // LF is one line end.
        const bool ends = input[i] == QLatin1Char('\n')
                          || (input[i] == QLatin1Char('\r') && (i + 1 == input.size() || input[i + 1] != QLatin1Char('\n')));
        if (!ends)
            continue;
        const QString piece = input.mid(begin, i + 1 - begin);
        // Line ends alone (a board that ends a reply twice) are no reply: they stay with the one
        // before.
        if (!lines.isEmpty() && std::all_of(piece.begin(), piece.end(), isLineEnd))
            lines.last() += piece;
        else
            lines.append(piece);
        begin = i + 1;
    }
    // Text after the last line end (a status code, a notice's "CC"), or a read with none at all.
    if (begin < input.size() || lines.isEmpty())
        lines.append(input.mid(begin));
    QStringList replies;
    for (const QString &line : lines)
        replies << cutJoined(line);
    return replies;
}

bool ReceivePath::isKnownReply(const QString &text)
{
    const QString code = replyCode(text);
    return code == QLatin1String(replies::kFreeText) || replies::find(code) != nullptr;
}

void ReceivePath::watch(const QString &text, bool ended)
{
    if (m_watcher)
        m_watcher(text, ended);
}

QString ReceivePath::takeNoticeText(std::deque<QString> &rest)
{
    // The board sends a notice's text after its "CC", following a silence of its own; text
    // already read with the "CC" is the notice's, or the reply after it.
    if (rest.empty()) {
        awaitNoticeText(m_com);
        const QString read = m_com.Input();
        if (!read.isEmpty())
            for (const QString &reply : splitReplies(read))
                rest.push_back(reply);
    }
    // The notice's text runs up to the first reply the tables know: that reply is no text of the
    // notice's but the reply it is, and is counted (a coin that follows a bare "CC" leaves the
    // notice empty). Text with line ends inside stays the notice's, whole.
    QString text;
    while (!rest.empty() && !isKnownReply(rest.front())) {
        text += rest.front();
        rest.pop_front();
    }
    return text;
}

void ReceivePath::handleReply(const QString &input, bool ended, std::deque<QString> &rest, core::Trap &trap)
{
    QString code;
    trap([&] { code = replyCode(input); });
    trap([&] { m_state.List1.append(input); });
    watch(input, ended);
    trap([&] { m_state.log.list().selectLast(); });
    // A notice's text is read after its "CC"; the label keeps a part of it, and the whole text
    // goes to the raw replies and the log file as a read of its own.
    QString noticeText;
    m_recogniser.recognise(code, trap, [&] {
        noticeText = takeNoticeText(rest);
        return noticeText;
    });
    if (!noticeText.isEmpty()) {
        trap([&] { m_state.List1.append(noticeText); });
        watch(noticeText, true);
    }
    trap([&] { m_tallies.showTotalAfterReply(); });
    m_logFile.append(input, trap);
    if (!noticeText.isEmpty())
        m_logFile.append(noticeText, trap);
}

void ReceivePath::receive(core::Trap &trap)
{
    link::CommControl &com = m_com;
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
        // A console that looked at the line late, or a board that sent the next reply at once,
        // gives several replies in one read: each has its own raw row, recognition and log line,
        // so that the second coin of two is counted as well as the first.
        const QStringList split = splitReplies(input);
        std::deque<QString> replies(split.begin(), split.end());
        while (!replies.empty()) {
            const QString reply = std::move(replies.front());
            replies.pop_front();
            // Only the last reply of a read, with no line end, may have been cut off by a line
            // that stalled.
            const bool ended = !replies.empty() || (!reply.isEmpty() && isLineEnd(reply.back()))
                               || isKnownReply(reply);
            handleReply(reply, ended, replies, trap);
        }
        trap([&] { m_state.lstDebuggingValue.setRow(0, QString::number(com.InBufferCount())); });
        trap([&] { m_state.lstDebuggingValue.setRow(1, QString::number(com.inputLimit())); });
        trap([&] { m_state.lstDebuggingValue.setRow(2, com.peekInput()); });
        if (!read) {
            com.retryReceiveLater();
            return;
        }
    }
}

} // namespace kestrel::console
