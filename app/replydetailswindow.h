#pragma once

#include "decode/replydetails.h"

#include <QWidget>

class QLabel;
class QPlainTextEdit;

namespace kestrel::app {

// The "Reply details" window: one reply of the raw replies, every byte of it decoded (its text,
// its bytes with their offsets, the device and reply it is taken to be and why, each field).
class ReplyDetailsWindow : public QWidget
{
    Q_OBJECT
public:
    explicit ReplyDetailsWindow(QWidget *parent = nullptr);

    void show(int row, const decode::details::Decoded &decoded);
    QString shownText() const;

private:
    QLabel *m_heading;
    QPlainTextEdit *m_details;
};

} // namespace kestrel::app
