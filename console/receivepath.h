#pragma once

#include "core/actionlog.h"
#include "decode/logfile.h"
#include "decode/recogniser.h"
#include "decode/tallies.h"
#include "console/linepause.h"
#include "link/commcontrol.h"
#include "core/trap.h"

namespace kestrel {

// What the serial handler does when characters have arrived. While characters wait: pause until
// the reply has arrived whole (the line falls silent), read it all as one reply, cut the reply code
// (its first eight characters, blanks trimmed), show the raw text, recognise the code, redraw the
// money label, refresh the debugging values and log the reply. A read that holds several replies
// (the console looked late) is taken apart at its line feeds, and each reply is handled so.
// Characters that arrive after the pause are left waiting for the next pass, which reads and
// recognises them; the debugging panel only looks at them.
class ReceivePath
{
public:
    ReceivePath(CommControl &com, ReplyState &state, Tallies &tallies,
                ReplyRecogniser &recogniser, LogFile &logFile,
                std::int32_t pauseIterations)
        : m_com(com), m_state(state), m_tallies(tallies), m_recogniser(recogniser)
        , m_logFile(logFile), m_pause(pauseIterations) {}

    // Runs inside the serial handler, under the handler's own error trap.
    void receive(Trap &trap);

    // The reply code: the first eight characters with leading and trailing blanks removed.
    static QString replyCode(const QString &input);
    // A read taken apart after each line feed; text after the last one is a reply of its own.
    // Line ends alone stay with the reply before them. A read with no line feed is one reply, an
    // empty read one empty reply.
    static QStringList splitAtLineEnds(const QString &input);

private:
    void handleReply(const QString &input, Trap &trap);

    CommControl &m_com;
    ReplyState &m_state;
    Tallies &m_tallies;            // redraws the money label
    ReplyRecogniser &m_recogniser;
    LogFile &m_logFile;
    std::int32_t m_pause;
};

} // namespace kestrel
