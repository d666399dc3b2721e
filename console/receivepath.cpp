#include "console/receivepath.h"

namespace kestrel {

QString ReceivePath::replyCode(const QString &input)
{
    return trimSpaces(input.left(8));
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
        QString code;
        trap([&] { code = replyCode(input); });
        trap([&] { m_state.List1.append(input); });
        trap([&] { m_state.log.list().selectLast(); });
        // A notice's text is read after its "CC"; the label keeps a part of it, and the whole
        // text goes to the raw replies and the log file as a read of its own.
        QString noticeText;
        m_recogniser.recognise(code, trap, [&] {
            awaitNoticeText(com);
            noticeText = com.Input();
            return noticeText;
        });
        if (!noticeText.isEmpty())
            trap([&] { m_state.List1.append(noticeText); });
        trap([&] { m_tallies.showTotalAfterReply(); });
        trap([&] { m_state.lstDebuggingValue.setRow(0, QString::number(com.InBufferCount())); });
        trap([&] { m_state.lstDebuggingValue.setRow(1, QString::number(com.InputLen())); });
        trap([&] { m_state.lstDebuggingValue.setRow(2, com.peekInput()); });
        m_logFile.append(input, trap);
        if (!noticeText.isEmpty())
            m_logFile.append(noticeText, trap);
        if (!read) {
            com.retryReceiveLater();
            return;
        }
    }
}

} // namespace kestrel
