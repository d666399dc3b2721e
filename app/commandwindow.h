#pragma once

#include "console/commandsender.h"

#include <QWidget>

class QButtonGroup;
class QComboBox;
class QFormLayout;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace kestrel::app {

// File > "Send MDB Command...": a small window beside the console that composes any command of the
// coin changer, the bill validator or the cashless reader by name and parameters (or takes raw
// bytes), shows the frame as it is typed, sends it through the board as a button does, and shows
// the reply decoded field by field. Bad input is told here, and nothing is sent.
class CommandWindow : public QWidget
{
    Q_OBJECT
public:
    explicit CommandWindow(console::Console &console, QWidget *parent = nullptr);

    // For tests and the desktop: pick a command and fill a parameter as the technician would.
    void choose(mdb::Peripheral peripheral, const QString &command);
    QLineEdit *field(const QString &param) const;
    QString message() const;
    QString frameText() const;
    QString replyText() const;

private:
    void showCommands();
    void showParams();
    void preview();
    void send();
    void sendRaw();
    const mdb::CommandSpec *current() const;
    QList<mdb::Given> given() const;

    console::Console &m_console;
    console::CommandSender m_sender;
    mdb::Peripheral peripheral() const;

    QButtonGroup *m_peripheral;
    QComboBox *m_command;
    QLabel *m_about;
    QFormLayout *m_params;
    QWidget *m_paramBox;
    QList<QPair<QString, QLineEdit *>> m_fields;
    const mdb::CommandSpec *m_shown = nullptr;     // the command whose fields stand
    QLabel *m_frame;
    QPushButton *m_send;
    QLineEdit *m_raw;
    QPushButton *m_sendRaw;
    QLabel *m_message;
    QPlainTextEdit *m_reply;
};

} // namespace kestrel::app
