#pragma once

#include "sim/virtualboard.h"

#include <QWidget>

class QLabel;
class QLineEdit;
class QListWidget;

namespace kestrel::sim {

// The virtual board's window: what the operator of a real machine would do (insert coins and bills,
// provoke the changer's and validator's faults, send any reply by hand, a free-text notice, a line
// error), the frames the board has received with the time each arrived (to the millisecond) and
// the MDB command each is, and the board's state.
class BoardWindow : public QWidget
{
    Q_OBJECT
public:
    explicit BoardWindow(VirtualBoard &board, QWidget *parent = nullptr);

    // "Replay a recording...": plays the file into the line; false (and why, shown) when it
    // cannot be read or the port is closed.
    bool replayFile(const QString &path);

private:
    QWidget *coinsAndBills();
    QWidget *faults();
    QWidget *manual();
    void showState();
    bool lineCanCarry(const QString &text);

    VirtualBoard &m_board;
    QListWidget *m_frames;
    QLabel *m_state;
    QLineEdit *m_reply;
    QLineEdit *m_notice;
    QLabel *m_refused;   // why a text typed by hand was not sent
};

} // namespace kestrel::sim
