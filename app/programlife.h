#pragma once

#include <QObject>

#include <functional>

namespace kestrel::app {

// When the program ends: once the last window that keeps it running has closed. A window keeps it
// running while it carries Qt::WA_QuitOnClose: ordinary windows (a picture screen, the About
// screen) have it from Qt; the main window and the splash screen, which are tool windows, set it
// themselves; the virtual board's window, which goes with the console, clears it. Qt's own rule
// leaves tool windows out, and the main window is a tool window: the console would never end on
// Exit, and closing a picture screen would end it while the console stands. So the program
// follows this rule instead of Qt's.
class ProgramLife : public QObject
{
    Q_OBJECT
public:
    // `end` is called when no window keeps the program running any more.
    explicit ProgramLife(std::function<void()> end, QObject *parent = nullptr);

    // Whether a window now open keeps the program running.
    static bool anyWindowKeepsRunning();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void check();

    std::function<void()> m_end;
    bool m_checkPending = false;
};

} // namespace kestrel::app
