#pragma once

#include "decode/logfile.h"
#include "decode/recogniser.h"
#include "decode/replystate.h"
#include "decode/tallies.h"
#include "link/receivepath.h"

namespace kestrel {

// The whole road of a reply, built in one place: the state the replies change (lists, labels,
// total, action log), the tallies, the recogniser, the log file and the receive path over the
// serial control. The console, the tests, the fuzzer and the benchmarks all build this one.
class ReceiveChain : public ReplyState
{
public:
    ReceiveChain(CommControl &com, const QString &logPath, LogFile::Clock clock = &LogFile::wallClock,
                 std::int32_t pauseIterations = kPauseIterations)
        : logFile(logPath, std::move(clock))
        , receivePath(com, *this, tallies, recogniser, logFile, pauseIterations)
    {
    }

    Tallies tallies{*this};
    ReplyRecogniser recogniser{*this};
    LogFile logFile;
    ReceivePath receivePath;
};

} // namespace kestrel
