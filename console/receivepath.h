#pragma once

#include "core/actionlog.h"
#include "decode/logfile.h"
#include "decode/recogniser.h"
#include "decode/tallies.h"
#include "console/linepause.h"
#include "link/commcontrol.h"
#include "core/trap.h"

#include <deque>
#include <functional>

namespace kestrel::console {

// What the serial handler does when characters have arrived. While characters wait: pause until
// the reply has arrived whole (the line falls silent), read what waits, take it apart into the
// replies in it, and for each: cut the reply code (its first eight characters, blanks trimmed),
// show the raw text, recognise the code, redraw the money label and log the reply; then refresh
// the debugging values. Characters that arrive after the pause are left waiting for the next pass,
// which reads and recognises them; the debugging panel only looks at them.
class ReceivePath
{
public:
    ReceivePath(link::CommControl &com, decode::ReplyState &state, decode::Tallies &tallies,
                decode::ReplyRecogniser &recogniser, decode::LogFile &logFile,
                std::int32_t pauseIterations)
        : m_com(com), m_state(state), m_tallies(tallies), m_recogniser(recogniser)
        , m_logFile(logFile), m_pause(pauseIterations) {}

    // Runs inside the serial handler, under the handler's own error trap.
    void receive(core::Trap &trap);

    // Told of every reply as its raw row is written, and whether it is known to have ended: at a
    // line end, at the next reply's first byte, or as a reply the tables know. Any other reply
    // ended only because the line fell silent, which a line that stalled mid-reply does too: a
    // test plan then asks the reply's layout whether it is whole.
    using ReplyWatcher = std::function<void(const QString &text, bool ended)>;
    void setReplyWatcher(ReplyWatcher watcher) { m_watcher = std::move(watcher); }

    // The reply code: the first eight characters with leading and trailing blanks removed.
    static QString replyCode(const QString &input);
    // A read taken apart into the replies it holds, in order. A reply ends at a line feed, at a
    // carriage return that no line feed follows, and where hex bytes run into the next reply's
    // with no blank between ("08 0B08 52 06": a byte is two hex digits, so "0B08" is two replies
    // joined). Line ends alone stay with the reply before them. A read with none of these is one
    // reply, an empty read one empty reply. Text that is not hex bytes (a notice's text) is never
    // cut inside.
    static QStringList splitReplies(const QString &input);
    // Whether a reply is one the console counts or shows as a notice: its code is in the reply
    // tables, or is the free-text notice "CC".
    static bool isKnownReply(const QString &text);

private:
    void handleReply(const QString &input, bool ended, std::deque<QString> &rest, core::Trap &trap);
    QString takeNoticeText(std::deque<QString> &rest);
    void watch(const QString &text, bool ended);

    link::CommControl &m_com;
    decode::ReplyState &m_state;
    decode::Tallies &m_tallies;            // redraws the money label
    decode::ReplyRecogniser &m_recogniser;
    decode::LogFile &m_logFile;
    std::int32_t m_pause;
    ReplyWatcher m_watcher;
};

} // namespace kestrel::console
