#pragma once

#include "console/console.h"
#include "core/boundtimer.h"
#include "decode/replydetails.h"
#include "plans/identitywatcher.h"
#include "plans/payoutwatcher.h"
#include "plans/plan.h"
#include "plans/roundtripwatcher.h"

#include <QObject>
#include <QTimer>

#include <array>
#include <optional>

namespace kestrel::plans {

// Runs a plan against a console whose port is open: presses its buttons and sends its commands
// through the same send routine as a click (same frame, same handshake, same action-log line),
// watches the replies the receive path reads, and checks the tallies, total, status line, tubes and
// the fields of a reply. Each wait ends at its bound. A failed step is reported and the next one runs, as an operator would go on down a
// checklist; every button press is still one frame, sent once.
class PlanRunner : public QObject
{
    Q_OBJECT
public:
    enum class State { Waiting, Running, Passed, Failed, Asked, Stopped, NotRun };
    static QString stateName(State state);

    struct StepResult
    {
        State state = State::Waiting;
        QString detail;          // why it failed, what it asked, what it saw
        double startMs = 0;      // from the start of the run
        double ms = 0;           // how long the step took
    };
    using RoundTrip = RoundTripWatcher::RoundTrip;
    using Identity = IdentityWatcher::Identity;
    using Payout = PayoutWatcher::Payout;

    PlanRunner(console::Console &console, Plan plan, QObject *parent = nullptr);

    void start();
    // Ends the run now: the step under way is stopped and the rest are not run.
    void stop();

    const Plan &plan() const { return m_plan; }
    const QList<StepResult> &results() const { return m_results; }
    bool isRunning() const { return m_step >= 0 && m_step < m_plan.steps.size(); }
    bool wasStopped() const { return m_stopped; }
    // The port went away under the run (a lost board, a closed port).
    bool wasAbandoned() const { return m_abandoned; }
    // Every step passed (an ask counts as passed).
    bool passed() const;
    double elapsedMs() const
    {
        return m_started ? std::chrono::duration<double, std::milli>(core::BoundTimer::Clock::now() - *m_started).count() : 0;
    }
    const QList<RoundTrip> &roundTrips() const { return m_roundTrips.roundTrips(); }
    const QList<Identity> &identities() const { return m_identities.identities(); }
    QList<Payout> payouts() const { return m_payout.payouts(); }
    const PayoutWatcher &payoutWatcher() const { return m_payout; }
    // What crossed the line during the run, in order: each frame as it was written and each reply
    // as it was read, for the report's timeline.
    struct LineEvent
    {
        double atMs;
        bool frame;          // a command frame the console wrote; else a reply it read
        QString text;        // the frame in hex, or the reply as read
        bool whole = true;   // a reply read whole
    };
    QList<LineEvent> lineEvents() const;
    // The peripherals that answered during the run, whether or not they identified themselves.
    QList<mdb::Peripheral> peripheralsHeard() const;
    // The step's line as the console prints it: "PASS  12  check tally Nickel = 1  (0.1 ms)".
    QString summaryLine(int index) const;

signals:
    void stepStarted(int index);
    void stepFinished(int index);
    // An `ask` step: the technician is to act (insert a coin, a bill); the next expectation waits.
    void asked(const QString &prompt);
    void finished();

private:
    struct Reply
    {
        QString text;
        double atMs;
        bool whole;     // read whole, as the console counts replies
        decode::details::Decoded decoded;
    };

    // Ends the run now because it cannot go on: the step under way fails for `reason`.
    void abandon(const QString &reason);
    void runStep();
    void finishStep(State state, const QString &detail = {});
    void press(const Press &p);
    void send(const Send &s);
    // The frame just queued (by a press or a send) is awaited: written, or dropped with its error line.
    void awaitFrame(int waitingBefore);
    void expect();
    bool findExpected();
    void check(const Action &action);
    QString checkReply(const CheckReply &c, QString &seen) const;

    void replyRead(const QString &text, bool ended);
    void logLine(const QString &line);
    void frameWritten();

    console::Console &m_console;
    Plan m_plan;
    QList<StepResult> m_results;
    int m_step = -1;
    bool m_stopped = false;
    bool m_abandoned = false;       // the port went away under it
    // When the run began, on the clock the step's bounds are kept on.
    std::optional<core::BoundTimer::Clock::time_point> m_started;
    core::BoundTimer m_bound;             // the running step's wait, never ended early

    // Replies read since the run began; those before m_consumed are spoken for.
    QList<Reply> m_replies;
    int m_consumed = 0;
    // The press under way: waiting for its frame to be written, or its error line.
    bool m_awaitingFrame = false;
    QString m_errorLine;            // the button's error message, as its error lines begin
    const commands::CommandRow *m_pressedRow = nullptr;
    // The command a `send` step queued, and its frame, for the payout it may ask for.
    const mdb::CommandSpec *m_sentCommand = nullptr;
    QByteArray m_sentFrame;
    QString m_sendWarning;          // a level the peripheral lacks, told in the step's detail

    // The reply the last expectation was met by, for `check reply`.
    std::optional<decode::details::Decoded> m_matched;
    RoundTripWatcher m_roundTrips;
    IdentityWatcher m_identities;
    PayoutWatcher m_payout;
    // The frames written, with when (the replies are in m_replies).
    QList<std::pair<double, QString>> m_framesWritten;

};

} // namespace kestrel::plans
