#include "plans/planrunner.h"

#include "core/shown.h"
#include "mdb/denominations.h"
#include "decode/money.h"
#include "mdb/mdb.h"

#include <QLocale>

namespace kestrel::plans {

namespace {

// The dispense buttons and the tube coin each pays out (row i of the tube coins).
const struct
{
    const char *control;
    int tube;
} kDispenses[] = {
    {"cmdDispenseNickel", 0},
    {"cmdDispenseDime", 1},
    {"cmdDispenseQuarter", 2},
};

// Beyond the send queue's own bound, the time a press may take to leave or be dropped.
constexpr std::chrono::milliseconds kPressSlack{500};


QString seconds(std::chrono::milliseconds time)
{
    return time.count() % 1000 == 0 ? QStringLiteral("%1 s").arg(time.count() / 1000)
                                    : QStringLiteral("%1 ms").arg(time.count());
}

QString deviceName(Device device)
{
    switch (device) {
    case Device::Changer: return QStringLiteral("changer");
    case Device::Validator: return QStringLiteral("validator");
    case Device::Cashless: return QStringLiteral("cashless");
    }
    return {};
}

// A reply as the report shows it: its bytes, without the line end, escaped, and cut a little past
// the longest MDB block's text (noise can come a megabyte at a time).
QString shown(const QString &text)
{
    return core::escapedText(text.trimmed(), 120);
}

// A reply that came instead of the one expected, as the step's detail shows it: a status code
// of the peripheral's activity with its name ("08 0C (coin jam)"), a piece of a reply with what it
// is. A reply of two bytes to a command that asked for a value (PAYOUT VALUE POLL) is no status.
QString arrived(const QString &text, bool whole, const decode::details::Decoded &decoded)
{
    QString s = shown(text);
    if (!whole)
        return s + QStringLiteral(" (cut short, not counted)");
    if (decoded.reply != QLatin1String("POLL"))
        return s;
    if (const std::optional<QByteArray> bytes = mdb::replyBytes(text))
        if (const QString status = mdb::statusOf(*bytes); !status.isEmpty())
            s += QStringLiteral(" (%1)").arg(status);
    return s;
}

} // namespace

QString PlanRunner::stateName(State state)
{
    switch (state) {
    case State::Waiting: return QStringLiteral("waiting");
    case State::Running: return QStringLiteral("running");
    case State::Passed: return QStringLiteral("PASS");
    case State::Failed: return QStringLiteral("FAIL");
    case State::Asked: return QStringLiteral("ASK");
    case State::Stopped: return QStringLiteral("STOPPED");
    case State::NotRun: return QStringLiteral("not run");
    }
    return {};
}

PlanRunner::PlanRunner(console::Console &console, Plan plan, QObject *parent)
    : QObject(parent), m_console(console), m_plan(std::move(plan))
{
    m_results.resize(m_plan.steps.size());
    connect(&m_bound, &core::BoundTimer::expired, this, [this] {
        if (!isRunning())
            return;
        const Action &action = m_plan.steps[m_step].action;
        if (std::holds_alternative<Wait>(action)) {
            finishStep(State::Passed);
        } else if (const auto *e = std::get_if<Expect>(&action)) {
            QStringList seen;
            for (int i = m_consumed; i < m_replies.size(); ++i)
                seen << arrived(m_replies[i].text, m_replies[i].whole, m_replies[i].decoded);
            m_consumed = int(m_replies.size());
            finishStep(State::Failed, QStringLiteral("no reply matching %1 within %2; %3")
                                          .arg(e->patterns.size() == 1 ? QStringLiteral("\"%1\"").arg(patternText(e->patterns[0]))
                                                                       : QStringLiteral("any of the patterns"),
                                               seconds(e->within),
                                               seen.isEmpty() ? QStringLiteral("nothing arrived")
                                                              : QStringLiteral("arrived instead: ") + seen.join(QStringLiteral(", "))));
        } else if (m_awaitingFrame) {
            m_awaitingFrame = false;
            finishStep(State::Failed, QStringLiteral("the frame did not leave within %1 ms")
                                          .arg((console::PendingFrames::kAnswerBound + kPressSlack).count()));
        }
    });
    connect(&m_console, &console::Console::replyRead, this, &PlanRunner::replyRead);
    core::LineListModel &log = m_console.state.lstActionLog;
    connect(&log, &QAbstractItemModel::rowsInserted, this, [this, &log](const QModelIndex &, int first, int last) {
        for (int i = first; i <= last; ++i)
            logLine(log.row(i));
    });
    connect(&m_console.pendingFrames, &console::PendingFrames::frameWritten, this, &PlanRunner::frameWritten);
    // A plan whose port is gone cannot go on: the step under way fails with the loss as its
    // reason, and the rest are not run.
    connect(&m_console.comInterface, &link::CommControl::deviceLost, this, [this](int, const QString &description) {
        abandon(QStringLiteral("the port was lost: %1").arg(description.trimmed()));
    });
    connect(&m_console.comInterface, &link::CommControl::portClosed, this,
            [this] { abandon(QStringLiteral("the port was closed")); });
}

void PlanRunner::start()
{
    m_started = core::BoundTimer::Clock::now();
    m_step = 0;
    runStep();
}

void PlanRunner::stop()
{
    if (!isRunning())
        return;
    m_stopped = true;
    m_bound.stop();
    m_awaitingFrame = false;
    finishStep(State::Stopped, QStringLiteral("stopped by the operator"));
}

void PlanRunner::abandon(const QString &reason)
{
    if (!isRunning())
        return;
    m_abandoned = true;
    m_bound.stop();
    m_awaitingFrame = false;
    finishStep(State::Failed, reason);
}

bool PlanRunner::passed() const
{
    return !m_stopped && std::all_of(m_results.begin(), m_results.end(), [](const StepResult &r) {
        return r.state == State::Passed || r.state == State::Asked;
    });
}

void PlanRunner::runStep()
{
    if (!isRunning())
        return;
    StepResult &result = m_results[m_step];
    result.state = State::Running;
    result.startMs = elapsedMs();
    emit stepStarted(m_step);
    const Action &action = m_plan.steps[m_step].action;
    if (const auto *p = std::get_if<Press>(&action)) {
        press(*p);
    } else if (const auto *snd = std::get_if<Send>(&action)) {
        send(*snd);
    } else if (std::holds_alternative<Expect>(action)) {
        expect();
    } else if (const auto *a = std::get_if<Ask>(&action)) {
        emit asked(a->prompt);
        finishStep(State::Asked, a->prompt);
    } else if (const auto *w = std::get_if<Wait>(&action)) {
        m_bound.start(w->time);
    } else {
        check(action);
    }
}

void PlanRunner::finishStep(State state, const QString &detail)
{
    if (!isRunning())
        return;
    StepResult &result = m_results[m_step];
    result.state = state;
    result.detail = detail;
    result.ms = elapsedMs() - result.startMs;
    m_bound.stop();
    const int done = m_step;
    int notRun = done + 1;
    if (m_stopped || m_abandoned) {
        for (int i = m_step + 1; i < m_results.size(); ++i)
            m_results[i].state = State::NotRun;
        m_step = int(m_plan.steps.size());
    } else {
        ++m_step;
        notRun = m_step;
    }
    emit stepFinished(done);
    // The steps the run ended before are told as ended too, not run.
    for (int i = notRun; i < m_step; ++i)
        emit stepFinished(i);
    if (!isRunning()) {
        emit finished();
        return;
    }
    // The next step on the next turn of the event loop, so that a long plan never deepens the
    // stack and the window redraws between steps.
    QTimer::singleShot(0, this, &PlanRunner::runStep);
}

void PlanRunner::press(const Press &p)
{
    const Button &b = p.button;
    m_pressedRow = b.row;
    if (b.row) {
        m_errorLine = QString::fromLatin1(b.row->errorMessage);
    } else {
        // The escrow toggle sends what its caption says; a plan naming the other caption is wrong
        // about the validator's state, and nothing is sent.
        const QString now = m_console.cmdDTRtoggle.text();
        if (now != b.caption) {
            finishStep(State::Failed, QStringLiteral("the escrow button reads \"%1\", not \"%2\"; nothing sent")
                                          .arg(now, b.caption));
            return;
        }
        m_errorLine = QString::fromLatin1(commands::kEscrowError);
    }
    m_roundTrips.commandQueued(QStringLiteral("%1 \"%2\"").arg(deviceName(b.device), b.caption));
    m_sentCommand = nullptr;
    const int waiting = m_console.pendingFrames.count();
    m_awaitingFrame = true;
    if (b.row)
        kestrel::console::press(m_console.send, *b.row);
    else
        m_console.escrow.press();
    awaitFrame(waiting);
}

void PlanRunner::send(const Send &s)
{
    m_pressedRow = nullptr;
    m_sentCommand = s.command;
    mdb::Composed composed;
    QString name;
    if (s.command) {
        composed = mdb::compose(*s.command, s.given, m_console.history.known());
        name = QString::fromLatin1(s.command->name);
    } else {
        composed.frame = s.raw;
        name = mdb::hex(s.raw);
        m_sentCommand = mdb::commandOf(s.raw);
    }
    if (!composed.error.isEmpty()) {
        finishStep(State::Failed, QStringLiteral("not sent: %1").arg(composed.error));
        return;
    }
    // A plan has no one to ask: a command the peripheral's level lacks goes, and the step says so.
    m_sendWarning = composed.warning;
    m_sentFrame = composed.frame;
    m_errorLine = console::SendRoutine::errorMessageFor(name);
    m_roundTrips.commandQueued(s.command ? QStringLiteral("%1 %2").arg(mdb::nameOf(s.command->peripheral), name) : name);
    const int waiting = m_console.pendingFrames.count();
    m_awaitingFrame = true;
    m_console.send.sendCommand(composed.frame, name);
    awaitFrame(waiting);
}

void PlanRunner::awaitFrame(int waitingBefore)
{
    if (!m_awaitingFrame)
        return;   // written, or refused with its error line, during the press
    if (m_console.pendingFrames.count() <= waitingBefore) {
        m_awaitingFrame = false;
        const QStringList log = m_console.state.lstActionLog.rows();
        finishStep(State::Failed, QStringLiteral("not sent: %1").arg(log.isEmpty() ? QString() : log.last()));
        return;
    }
    m_bound.start(console::PendingFrames::kAnswerBound + kPressSlack);
}

void PlanRunner::frameWritten()
{
    m_roundTrips.frameWritten(elapsedMs());
    m_framesWritten.append({elapsedMs(), QString::fromLatin1(m_console.pendingFrames.lastSent().toHex(' ').toUpper())});
    if (!m_awaitingFrame)
        return;
    m_awaitingFrame = false;
    // A Dispense button asks for one coin of its tube; a DISPENSE for coins of a type, a PAYOUT for
    // a value.
    for (const auto &dispense : kDispenses)
        if (m_pressedRow && qstrcmp(m_pressedRow->control, dispense.control) == 0)
            m_payout.coinsRequested(dispense.tube, 1);
    if (m_sentCommand && m_sentCommand->id == mdb::Cmd::Dispense && m_sentFrame.size() >= 2) {
        m_payout.coinTypeRequested(quint8(m_sentFrame[1]) & 0x0F, quint8(m_sentFrame[1]) >> 4);
    } else if (m_sentCommand && m_sentCommand->id == mdb::Cmd::Payout && m_sentFrame.size() >= 3) {
        const std::optional<mdb::MoneySetup> &changer = m_console.history.known().changer;
        m_payout.valueRequested(changer ? mdb::cents(quint8(m_sentFrame[2]), *changer) : 0);
    }
    finishStep(State::Passed, std::exchange(m_sendWarning, QString()));
}

void PlanRunner::logLine(const QString &line)
{
    if (m_awaitingFrame && !m_errorLine.isEmpty() && line.startsWith(m_errorLine)) {
        m_awaitingFrame = false;
        finishStep(State::Failed, QStringLiteral("not sent: %1").arg(line));
    }
}

void PlanRunner::replyRead(const QString &text, bool ended)
{
    // Decoded as the console's reply history knows it: the frame that asked for it, the SETUPs.
    const int row = m_console.state.List1.count() - 1;
    const decode::details::Decoded decoded =
        row >= 0 && m_console.state.List1.row(row) == text ? m_console.history.decode(row) : decode::details::decode(text);
    // A reply that ended in silence is whole unless its bytes stop short of its layout: a piece
    // of a reply cut off by a stalled line ("08 52" of "08 52 06") is shown in what arrived, never
    // taken for the reply it began, as the console did not count it either.
    const bool whole = ended || (!decoded.bytes.isEmpty() && !decoded.cutShort);
    m_replies.append({text, elapsedMs(), whole, decoded});
    if (!whole)
        return;
    m_identities.replyRead(decoded);
    m_payout.replyRead(decoded);
    if (isRunning() && std::holds_alternative<Expect>(m_plan.steps[m_step].action)
        && m_results[m_step].state == State::Running)
        findExpected();
}

QList<PlanRunner::LineEvent> PlanRunner::lineEvents() const
{
    QList<LineEvent> events;
    for (const auto &[atMs, frame] : m_framesWritten)
        events.append({atMs, true, frame, true});
    for (const Reply &reply : m_replies)
        events.append({reply.atMs, false, reply.text, reply.whole});
    std::stable_sort(events.begin(), events.end(), [](const LineEvent &a, const LineEvent &b) { return a.atMs < b.atMs; });
    return events;
}

QList<mdb::Peripheral> PlanRunner::peripheralsHeard() const
{
    QList<mdb::Peripheral> heard;
    for (const Reply &reply : m_replies)
        if (reply.whole && reply.decoded.device != mdb::Peripheral::Unknown && !heard.contains(reply.decoded.device))
            heard.append(reply.decoded.device);
    return heard;
}

void PlanRunner::expect()
{
    if (!findExpected())
        m_bound.start(std::get<Expect>(m_plan.steps[m_step].action).within);
}

bool PlanRunner::findExpected()
{
    const auto &e = std::get<Expect>(m_plan.steps[m_step].action);
    for (int i = m_consumed; i < m_replies.size(); ++i) {
        const Reply &reply = m_replies[i];
        if (!reply.whole || std::none_of(e.patterns.begin(), e.patterns.end(),
                         [&](const ReplyPattern &p) { return matches(p, reply.text); }))
            continue;
        QStringList skipped;
        for (int j = m_consumed; j < i; ++j)
            skipped << shown(m_replies[j].text);
        m_consumed = i + 1;
        m_matched = reply.decoded;
        // The round trip of the command just sent: its first expectation met.
        m_roundTrips.expectationMet(reply.atMs);
        finishStep(State::Passed, skipped.isEmpty() ? shown(reply.text)
                                                    : QStringLiteral("%1 (after %2)").arg(shown(reply.text), skipped.join(QStringLiteral(", "))));
        return true;
    }
    return false;
}

void PlanRunner::check(const Action &action)
{
    QString failure;
    QString seen;
    if (const auto *c = std::get_if<CheckTally>(&action)) {
        // Row i of a tally is coin or bill i (its name there changes as replies count it).
        const decode::ReplyState &s = m_console.state;
        int row = -1;
        bool coin = true;
        for (std::size_t i = 0; i < denominations::kCoins.size(); ++i)
            if (c->name == QLatin1String(denominations::kCoins[i].name))
                row = int(i);
        if (row < 0) {
            coin = false;
            for (std::size_t i = 0; i < denominations::kBills.size(); ++i)
                if (c->name == QLatin1String(denominations::kBills[i].name))
                    row = int(i);
        }
        const QStringList counts = (coin ? s.lstCoinCount : s.lstBillCount).rows();
        if (row < 0 || row >= counts.size())
            failure = QStringLiteral("the %1 tally has no %2 row").arg(coin ? QStringLiteral("coin") : QStringLiteral("bill"), c->name);
        else if (counts[row].trimmed() != QString::number(c->count))
            failure = QStringLiteral("%1 counted %2, expected %3").arg(c->name, counts[row].trimmed()).arg(c->count);
        else
            seen = QStringLiteral("%1: %2").arg(c->name, counts[row].trimmed());
    } else if (const auto *t = std::get_if<CheckTotal>(&action)) {
        const qint64 cents = m_console.state.TotalReceived.cents();
        const QLocale c = QLocale::c();
        if (cents != t->cents)
            failure = QStringLiteral("total %1, expected %2").arg(decode::money::plain(cents, c), decode::money::plain(t->cents, c));
        else
            seen = decode::money::plain(cents, c);
    } else if (const auto *st = std::get_if<CheckStatus>(&action)) {
        const QString now = m_console.state.lblSpecialInstruction.text();
        if (now != st->text)
            failure = QStringLiteral("the status reads \"%1\", expected \"%2\"").arg(now, st->text);
        else
            seen = now;
    } else if (const auto *tube = std::get_if<CheckTube>(&action)) {
        failure = m_payout.checkTube(tube->coin, tube->change);
    } else if (std::holds_alternative<CheckPayout>(action)) {
        failure = m_payout.checkPayout();
    } else if (const auto *r = std::get_if<CheckReply>(&action)) {
        failure = checkReply(*r, seen);
    }
    finishStep(failure.isEmpty() ? State::Passed : State::Failed, failure.isEmpty() ? seen : failure);
}

QString PlanRunner::checkReply(const CheckReply &c, QString &seen) const
{
    if (!m_matched)
        return QStringLiteral("no reply has met an expectation yet");
    QStringList names;
    for (const decode::details::Field &field : m_matched->fields) {
        names << QStringLiteral("\"%1\"").arg(field.name);
        if (field.name.compare(c.field, Qt::CaseInsensitive) != 0)
            continue;
        // Text fields come quoted from the decoder ("VLM"); the plan writes the text itself.
        QString value = field.value.trimmed();
        if (value.size() >= 2 && value.startsWith(QLatin1Char('"')) && value.endsWith(QLatin1Char('"')))
            value = value.mid(1, value.size() - 2).trimmed();
        if (value != c.value)
            return QStringLiteral("the %1 reply's %2 is \"%3\", expected \"%4\"").arg(m_matched->reply, field.name, value, c.value);
        seen = value;
        return {};
    }
    return QStringLiteral("the %1 reply %2 has no field \"%3\" (its fields: %4)")
        .arg(m_matched->reply, shown(m_matched->text), c.field, names.join(QStringLiteral(", ")));
}

QString PlanRunner::summaryLine(int index) const
{
    const StepResult &r = m_results[index];
    const Step &s = m_plan.steps[index];
    QString line = QStringLiteral("%1 %2  %3  (%4 ms)")
                       .arg(stateName(r.state), -7)
                       .arg(s.line, 3)
                       .arg(s.source)
                       .arg(r.ms, 0, 'f', 1);
    if (!r.detail.isEmpty() && r.state != State::Asked)
        line += QStringLiteral("\n            %1").arg(r.detail);
    return line;
}

} // namespace kestrel::plans
