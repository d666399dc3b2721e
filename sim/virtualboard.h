#pragma once

#include "capture/recording.h"
#include "core/table.h"
#include "link/serialdevice.h"
#include "sim/boardline.h"
#include "sim/peripherals.h"

#include <QTime>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

namespace kestrel::sim {

// A virtual interface board with a coin changer, a bill validator and a cashless reader behind it,
// as one more serial device: the console cannot tell it from a real port. It answers a raised DTR
// with a CTS change after a few milliseconds, takes the frame the console writes (which takes the
// frame's time on the line to arrive), hands it to the peripheral it is addressed to, and sends
// their replies as hex text a character at a time at line speed, each reply after a silence. The
// operator's actions on the board (coins, bills, faults) reply the same way. Unpaced, for tests and
// benchmarks, frames and replies travel whole and take no time on the line.
class VirtualBoard;

// Faults that last until switched off, for checking that a test plan catches them: by the name a
// port's name gives them ("virtual?fault=coin-jam,validator-disabled"), and by the control and
// caption of the board window's Faults tab.
struct Fault
{
    const char *name;
    const char *control;
    const char *caption;
    void (*set)(VirtualBoard &board, bool on);
    bool (*isOn)(const VirtualBoard &board);
};
extern const core::Table<Fault> kFaults;
// The fault of that name, or nullptr.
const Fault *faultNamed(const QString &name);
// The faults' names, for a message that lists them: "coin-jam, short-payout, validator-disabled".
QString faultNames();

class VirtualBoard : public link::SerialDevice
{
    Q_OBJECT
public:
    static constexpr int kCtsDelayMs = 3;
    // From a frame's last byte to its first reply's first character: a peripheral answers within
    // the 5 ms the bus allows.
    static constexpr int kReplyDelayMs = 3;
    // The silence between one reply and the next.
    static constexpr int kReplySpacingMs = 40;
    // A notice goes out as "CC", this silence, then its text: long enough that a console which
    // starts reading the "CC" late still reads it alone.
    static constexpr int kNoticeSilenceMs = 25;

    explicit VirtualBoard(QObject *parent = nullptr);

    // What the operator does on the board.
    void insertCoin(CoinChanger::Coin coin);
    void insertBill(BillValidator::Bill bill);
    void sendReply(const QString &text);             // sent exactly as typed
    void sendNotice(const QString &text);            // "CC", a silence, then the text
    void raiseLineEvent(int code);                   // framing, overrun, parity...
    // Plays a recording's reads into the line, a character at a time at line speed, at their
    // recorded spacing divided by `speed` (0: as fast as the line allows, each read after the
    // silence that lets the console tell it from the next, even when it looks late). Mixed with
    // whatever else the board sends meanwhile. The end of the recording is the line falling silent.
    // The reads are taken from the reader as they fall due, so a recording of any size starts at
    // once and costs the memory of a few reads; a fault the reader meets ends the playing there,
    // after the reads before it, with playFailed.
    void play(std::unique_ptr<capture::RecordingReader> reader, double speed = 1);
    void play(const capture::Recording &recording, double speed = 1);
    // The longest silence a replay keeps: a longer gap in the recording (a machine left idle
    // overnight) is played as this.
    static constexpr qint64 kLongestGapMicros = 10LL * 60 * 1000000;
    bool playing() const { return m_player != nullptr; }
    // The replay port: frames written are taken and dropped (a raised DTR still gets its CTS
    // change), and the recording plays each time the port is opened, read afresh from its file.
    // A recording that cannot be played, from its start or from a fault met later, ends the
    // replay with the port lost, its error the reason.
    void setReplay(const capture::Recording &recording, double speed);
    void setReplayFile(const QString &path, double speed);

    // Acts on a test plan's request to the technician ("Insert a quarter", "Insert a $5 bill"):
    // inserts the coin or bill it names. False when it names none.
    bool answer(const QString &prompt);
    // A board that stops answering a raised DTR (hung, powered down behind its port), and
    // answers again.
    void setAnswersDtr(bool answers) { m_answersDtr = answers; }
    bool answersDtr() const { return m_answersDtr; }

    const CoinChanger &changer() const { return m_changer; }
    CoinChanger &changer() { return m_changer; }
    const BillValidator &validator() const { return m_validator; }
    BillValidator &validator() { return m_validator; }
    const CashlessReader &reader() const { return m_reader; }
    int pendingReplies() const { return m_line.pending(); }

    void setReplySpacing(int ms) { m_spacing = std::chrono::milliseconds(ms); }
    // Paced (the default): a character at a time at 9600 baud. Unpaced: whole.
    void setPaced(bool paced) { m_line.setPaced(paced); }
    bool paced() const { return m_line.paced(); }

signals:
    // A frame from the console has arrived whole, at `arrived` (time of day).
    void frameReceived(const QByteArray &frame, const QTime &arrived);
    // A reply has wholly reached the console's side of the line.
    void replySent(const QString &text);
    void stateChanged();
    // The recording being played has been put on the line whole.
    void playFinished();
    // The recording being played has a fault: what was read before it has reached the line, and
    // the playing has ended.
    void playFailed(const QString &error);

protected:
    void openLine() override;
    void closeLine() override;
    void driveDtr(bool high) override;
    void writeLine(const QByteArray &frame) override;
    void drainLine() override;
    QByteArray takeFromDriver() override { return m_line.take(); }
    bool waitOnDriver(std::chrono::nanoseconds timeout) override { return m_line.waitFor(timeout); }

private:
    using Clock = BoardLine::Clock;
    // Puts replies on the line, the first after `delay` from `from`, each after the spacing.
    void queue(const QStringList &replies, Clock::time_point from = Clock::now(),
               std::chrono::nanoseconds delay = {});

    CoinChanger m_changer;
    BillValidator m_validator;
    CashlessReader m_reader;

    bool m_dtrSeen = false;   // the DTR level on the board's side of the line
    bool m_cts = false;
    bool m_answersDtr = true;
    BoardLine m_line;
    Clock::time_point m_frameArrives;   // when the last frame written has wholly arrived
    std::chrono::nanoseconds m_spacing = std::chrono::milliseconds(kReplySpacingMs);
    QTimer m_ctsTimer;

    void playNext();
    void startReplay();
    void stopPlaying();
    // The read being played, its time made its offset from the recording's first read, its gap
    // from the one before kept between none (a recording out of order) and the longest silence.
    struct Player
    {
        std::unique_ptr<capture::RecordingReader> reader;
        double speed = 1;
        Clock::time_point start;
        std::optional<capture::Recorded> due;
        qint64 offset = 0;
        std::optional<qint64> lastMicros;
        QString lastText;
    };
    std::unique_ptr<Player> m_player;
    QTimer m_playTimer;
    // The replay port's recording, made anew each time the port opens.
    std::function<std::unique_ptr<capture::RecordingReader>()> m_replay;
    double m_replaySpeed = 1;
};

} // namespace kestrel::sim
