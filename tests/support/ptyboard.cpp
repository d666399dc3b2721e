#include "tests/support/ptyboard.h"

#include "link/linetiming.h"

#include <cerrno>
#include <fcntl.h>
#include <pty.h>
#include <sys/prctl.h>
#include <termios.h>
#include <unistd.h>

namespace kestrel::test {

using Clock = std::chrono::steady_clock;

PtyBoard::PtyBoard()
{
    int console = -1;
    char name[128] = {};
    if (::openpty(&m_board, &console, name, nullptr, nullptr) != 0) {
        m_board = -1;
        return;
    }
    // The board's side is the test's alone: a program the test starts must not inherit it, or
    // closing it here would hang nothing up.
    ::fcntl(m_board, F_SETFD, FD_CLOEXEC);
    // Raw both ways, so that CR, LF and NUL pass unchanged; the console reopens its side by name.
    termios raw{};
    ::tcgetattr(console, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(console, TCSANOW, &raw);
    ::close(console);
    m_path = QString::fromLatin1(name);
    m_thread = std::thread([this] { writer(); });
}

PtyBoard::~PtyBoard()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
    hangUp();
}

void PtyBoard::send(const QByteArray &text, std::chrono::nanoseconds silence)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_queue.push_back({text, silence, true});
    }
    m_wake.notify_all();
}

void PtyBoard::sendWhole(const QByteArray &text)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_queue.push_back({text, {}, false});
    }
    m_wake.notify_all();
}

bool PtyBoard::idle()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_queue.empty() && !m_busy;
}

QByteArray PtyBoard::received()
{
    QByteArray got;
    if (m_board < 0)
        return got;
    const int flags = ::fcntl(m_board, F_GETFL);
    ::fcntl(m_board, F_SETFL, flags | O_NONBLOCK);
    char buffer[512];
    for (;;) {
        const ssize_t n = ::read(m_board, buffer, sizeof buffer);
        if (n <= 0)
            break;
        got.append(buffer, n);
    }
    ::fcntl(m_board, F_SETFL, flags);
    return got;
}

void PtyBoard::hangUp()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_board >= 0)
        ::close(m_board);
    m_board = -1;
}

std::chrono::steady_clock::time_point PtyBoard::lastCharacterAt()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_lastCharacterAt;
}

std::chrono::nanoseconds PtyBoard::longestWaitWithinASend()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_longestWait;
}

void PtyBoard::writeAll(const char *data, qsizetype size)
{
    while (size > 0) {
        int fd;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            fd = m_board;
        }
        if (fd < 0)
            return;
        const ssize_t n = ::write(fd, data, size_t(size));
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return;
        if (n > 0) {
            data += n;
            size -= n;
        }
    }
}

void PtyBoard::writer()
{
    // Wake-ups to the microsecond rather than within the default 50 us slack.
    ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    Clock::time_point lastCharacter = Clock::now();
    for (;;) {
        Chunk chunk;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stop || !m_queue.empty(); });
            if (m_stop)
                return;
            chunk = m_queue.front();
            m_queue.pop_front();
            m_busy = true;
        }
        // A character every 1.04 ms. A late wake-up shifts the characters that follow instead of
        // sending them in a burst to catch up.
        Clock::time_point next = std::max(Clock::now(), lastCharacter + chunk.silence);
        if (chunk.paced) {
            bool first = true;
            for (char c : chunk.text) {
                std::this_thread::sleep_until(next);
                writeAll(&c, 1);
                const Clock::time_point now = Clock::now();
                {
                    std::lock_guard<std::mutex> lock(m_mutex);
                    m_lastCharacterAt = now;
                    if (!first)
                        m_longestWait = std::max<std::chrono::nanoseconds>(m_longestWait,
                                                                           now - lastCharacter);
                }
                first = false;
                lastCharacter = now;
                next = std::max(next + link::linetiming::kCharacterTime,
                                lastCharacter + link::linetiming::kCharacterTime / 2);
            }
        } else {
            std::this_thread::sleep_until(next);
            writeAll(chunk.text.constData(), chunk.text.size());
            lastCharacter = Clock::now();
        }
        std::lock_guard<std::mutex> lock(m_mutex);
        m_lastCharacterAt = lastCharacter;
        m_busy = false;
    }
}

} // namespace kestrel::test
