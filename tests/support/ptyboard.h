#pragma once

#include <QByteArray>
#include <QString>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace kestrel::test {

// An interface board on the far side of a pseudo-terminal, for tests of the real-port backend. The
// console opens path() by name, as it would a serial port. What the board sends goes out from a
// writer thread of its own a character at a time, paced as a 9600-baud line delivers it (about
// 1.04 ms a character), each reply after the silence the test asks for; the test's own thread
// never sleeps for it. What the console writes is read back without waiting.
class PtyBoard
{
public:
    PtyBoard();
    ~PtyBoard();

    PtyBoard(const PtyBoard &) = delete;
    PtyBoard &operator=(const PtyBoard &) = delete;

    QString path() const { return m_path; }
    bool ok() const { return m_board >= 0; }

    // Sends `text` a character at a time, after `silence` of quiet line since the last character
    // sent.
    void send(const QByteArray &text, std::chrono::nanoseconds silence = {});
    // Sends `text` in one write, as fast as the pty takes it.
    void sendWhole(const QByteArray &text);
    // True once everything queued has been written.
    bool idle();
    // What the console has written since the last call.
    QByteArray received();
    // Closes the board's side, as a cable pulled: the console's side is hung up.
    void hangUp();
    // The longest wait between two characters of one paced send so far. On a busy machine the
    // writer thread can be held up for milliseconds, longer than the gap that ends a reply, and
    // then the line the console saw was not one a board at 9600 baud would send.
    std::chrono::nanoseconds longestWaitWithinASend();
    // When the last character so far was written to the line.
    std::chrono::steady_clock::time_point lastCharacterAt();

private:
    struct Chunk
    {
        QByteArray text;
        std::chrono::nanoseconds silence;
        bool paced;
    };
    void writer();
    void writeAll(const char *data, qsizetype size);

    int m_board = -1;
    QString m_path;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Chunk> m_queue;
    bool m_busy = false;
    bool m_stop = false;
    std::chrono::nanoseconds m_longestWait{};
    std::chrono::steady_clock::time_point m_lastCharacterAt{};
    std::thread m_thread;
};

} // namespace kestrel::test
