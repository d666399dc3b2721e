#include "sim/virtualboard.h"

#include "mdb/denominations.h"
#include "link/commerrors.h"
#include "link/commevents.h"
#include "link/linetiming.h"
#include "sim/simlog.h"

#include <QRegularExpression>

#include <algorithm>
#include <numeric>
#include <thread>

namespace kestrel::sim {

namespace {
const Fault kFaultRows[] = {
    // Every coin dropped in reports a coin jam and is neither counted nor kept.
    {"coin-jam", "faultCoinJam", "Coins jam", [](VirtualBoard &b, bool on) { b.changer().setJammed(on); },
     [](const VirtualBoard &b) { return b.changer().jammed(); }},
    // A coin asked for is reported dispensed but stays in its tube.
    {"short-payout", "faultShortPayout", "Pays out short", [](VirtualBoard &b, bool on) { b.changer().setShortPayout(on); },
     [](const VirtualBoard &b) { return b.changer().shortPayout(); }},
    // The validator stays disabled whatever BILL TYPE says.
    {"validator-disabled", "faultValidatorDisabled", "Validator disabled",
     [](VirtualBoard &b, bool on) { b.validator().setDisabled(on); },
     [](const VirtualBoard &b) { return b.validator().disabled(); }},
};
} // namespace

const core::Table<Fault> kFaults = kFaultRows;

const Fault *faultNamed(const QString &name)
{
    const auto found = std::find_if(kFaults.begin(), kFaults.end(),
                                    [&](const Fault &f) { return name == QLatin1String(f.name); });
    return found == kFaults.end() ? nullptr : found;
}

QString faultNames()
{
    QStringList names;
    for (const Fault &f : kFaults)
        names << QString::fromLatin1(f.name);
    return names.join(QStringLiteral(", "));
}

VirtualBoard::VirtualBoard(QObject *parent)
    : link::SerialDevice(QStringLiteral("virtual"), parent)
{
    m_ctsTimer.setSingleShot(true);
    m_ctsTimer.setInterval(kCtsDelayMs);
    connect(&m_ctsTimer, &QTimer::timeout, this, [this] {
        if (!isOpen())
            return;
        m_cts = !m_cts;
        emit lineEvent(link::commevent::CtsChange);
    });
    connect(&m_line, &BoardLine::arrived, this, [this] { announceArrival(); });
    m_playTimer.setSingleShot(true);
    m_playTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_playTimer, &QTimer::timeout, this, &VirtualBoard::playNext);
    connect(&m_line, &BoardLine::replyArrived, this,
            [this](const QByteArray &text) { emit replySent(QString::fromLatin1(text)); });
}

void VirtualBoard::openLine()
{
    // The replay starts once the port stands open, on the next turn of the event loop.
    if (m_replay)
        QTimer::singleShot(0, this, &VirtualBoard::startReplay);
    emit stateChanged();
}

void VirtualBoard::closeLine()
{
    m_dtrSeen = false;
    m_line.clear();
    stopPlaying();
    m_ctsTimer.stop();
    emit stateChanged();
}

void VirtualBoard::driveDtr(bool high)
{
    const bool rising = high && !m_dtrSeen;
    m_dtrSeen = high;
    // The board grants a raised DTR with a CTS change a moment later.
    if (rising && m_answersDtr)
        m_ctsTimer.start();
}

void VirtualBoard::writeLine(const QByteArray &frame)
{
    const Clock::time_point now = Clock::now();
    m_frameArrives = paced() ? std::max(now, m_frameArrives) + link::linetiming::onTheWire(int(frame.size()))
                             : now;
    const auto untilArrival = std::chrono::ceil<std::chrono::milliseconds>(m_frameArrives - now);
    emit frameReceived(frame, QTime::currentTime().addMSecs(int(untilArrival.count())));
    QStringList replies;
    // A replay takes frames and answers none.
    const bool answers = !m_replay;
    if (answers && m_changer.handles(frame))
        replies = m_changer.handle(frame);
    else if (answers && m_validator.handles(frame))
        replies = m_validator.handle(frame);
    else if (answers && m_reader.handles(frame))
        replies = m_reader.handle(frame);
    qCDebug(lcSim) << "frame" << frame.toHex(' ') << "answered with" << replies;
    queue(replies, m_frameArrives, std::chrono::milliseconds(kReplyDelayMs));
    emit stateChanged();
}

void VirtualBoard::drainLine()
{
    // The frame is on its way until its last byte has reached the board.
    link::linetiming::sleepUntil(m_frameArrives);
}

void VirtualBoard::insertCoin(CoinChanger::Coin coin)
{
    queue({m_changer.insert(coin)});
    emit stateChanged();
}

void VirtualBoard::insertBill(BillValidator::Bill bill)
{
    queue({m_validator.insert(bill)});
    emit stateChanged();
}

bool VirtualBoard::answer(const QString &prompt)
{
    // Bills by their tally names ("$5"); coins by theirs, the longer names first so that "Canadian
    // Two Dollar" is not read as "Canadian Dollar".
    static const QRegularExpression bill(QStringLiteral("\\$([0-9]+)\\b"));
    if (const QRegularExpressionMatch m = bill.match(prompt); m.hasMatch()) {
        for (std::size_t b = 0; b < denominations::kBills.size(); ++b)
            if (m.captured(0) == QLatin1String(denominations::kBills[b].name)) {
                insertBill(BillValidator::Bill(b));
                return true;
            }
        return false;
    }
    std::vector<std::size_t> coins(denominations::kCoins.size());
    std::iota(coins.begin(), coins.end(), 0);
    std::sort(coins.begin(), coins.end(), [](std::size_t a, std::size_t b) {
        return qstrlen(denominations::kCoins[a].name) > qstrlen(denominations::kCoins[b].name);
    });
    for (std::size_t c : coins)
        if (prompt.contains(QLatin1String(denominations::kCoins[c].name), Qt::CaseInsensitive)) {
            insertCoin(CoinChanger::Coin(c));
            return true;
        }
    return false;
}

void VirtualBoard::setReplay(const capture::Recording &recording, double speed)
{
    m_replay = [recording] {
        auto reader = std::make_unique<capture::RecordingReader>();
        reader->open(recording);
        return reader;
    };
    m_replaySpeed = speed;
}

void VirtualBoard::setReplayFile(const QString &path, double speed)
{
    m_replay = [path] {
        auto reader = std::make_unique<capture::RecordingReader>();
        reader->open(path);
        return reader;
    };
    m_replaySpeed = speed;
}

void VirtualBoard::startReplay()
{
    if (!m_replay || !isOpen())
        return;
    play(m_replay(), m_replaySpeed);
}

void VirtualBoard::play(const capture::Recording &recording, double speed)
{
    auto reader = std::make_unique<capture::RecordingReader>();
    reader->open(recording);
    play(std::move(reader), speed);
}

void VirtualBoard::play(std::unique_ptr<capture::RecordingReader> reader, double speed)
{
    if (!isOpen())
        return;
    m_player = std::make_unique<Player>();
    m_player->reader = std::move(reader);
    m_player->speed = speed;
    m_player->start = Clock::now();
    playNext();
}

void VirtualBoard::stopPlaying()
{
    m_player.reset();
    m_playTimer.stop();
}

void VirtualBoard::playNext()
{
    using namespace std::chrono;
    // Reads due within this time are put on the line now (the line paces them): the console
    // handles a notice's "CC" and waits for its text without turning the event loop, so the
    // text must already be on its way.
    constexpr milliseconds kLookAhead{250};
    // As fast as the line allows: the line is kept this many reads ahead.
    constexpr int kFedAhead = 64;
    if (!m_player)
        return;
    Player &p = *m_player;
    for (;;) {
        if (!p.due) {
            p.due = p.reader->next();
            if (!p.due)
                break;
            if (p.lastMicros)
                p.offset += std::clamp<qint64>(p.due->micros - *p.lastMicros, 0, kLongestGapMicros);
            p.lastMicros = p.due->micros;
        }
        const Clock::time_point now = Clock::now();
        Clock::time_point due = now;
        if (p.speed > 0) {
            due = p.start + duration_cast<Clock::duration>(duration<double, std::micro>(double(p.offset) / p.speed));
            if (due > now + kLookAhead) {
                m_playTimer.start(int(duration_cast<milliseconds>(due - now - kLookAhead / 2).count()));
                return;
            }
        } else if (m_line.pending() >= kFedAhead) {
            m_playTimer.start(50);
            return;
        }
        // The silence the console needs to tell this read from the one before: its look at the
        // line (3.6 ms after a line feed, 20 ms after other text) and room for a console that
        // starts looking late, its event loop busy or its timers coarse (Windows): 25 ms after a
        // line feed, after the notice's "CC" the board's own pause, else 50 ms.
        const milliseconds silence = p.lastText.endsWith(QLatin1Char('\n')) ? milliseconds(25)
                                     : p.lastText == QLatin1String("CC")     ? milliseconds(kNoticeSilenceMs)
                                                                             : milliseconds(50);
        m_line.send(p.due->text.toLatin1(), due, silence);
        p.lastText = std::move(p.due->text);
        p.due.reset();
    }
    const QString error = p.reader->error();
    if (error.isEmpty()) {
        stopPlaying();
        emit playFinished();
        return;
    }
    // A fault in the recording: the reads before it reach the console first, then the playing
    // ends, once.
    if (m_line.pending() > 0) {
        m_playTimer.start(20);
        return;
    }
    stopPlaying();
    emit playFailed(error);
    if (m_replay)
        lose(link::commerrors::deviceLost(QStringLiteral("replay"), error));
}

void VirtualBoard::sendReply(const QString &text)
{
    queue({text});
}

void VirtualBoard::sendNotice(const QString &text)
{
    if (!isOpen())
        return;
    queue({QStringLiteral("CC")});
    m_line.send(text.toLatin1(), Clock::now(), std::chrono::milliseconds(kNoticeSilenceMs));
}

void VirtualBoard::raiseLineEvent(int code)
{
    if (isOpen())
        emit lineEvent(code);
}

void VirtualBoard::queue(const QStringList &replies, Clock::time_point from,
                         std::chrono::nanoseconds delay)
{
    if (!isOpen())
        return;   // nobody listens on a closed port
    for (const QString &reply : replies)
        m_line.send(reply.toLatin1(), from + delay, m_spacing);
}

} // namespace kestrel::sim
