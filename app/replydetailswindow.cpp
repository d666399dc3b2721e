#include "app/replydetailswindow.h"

#include "screens/look.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace kestrel::app {

ReplyDetailsWindow::ReplyDetailsWindow(QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_heading(new QLabel(this))
    , m_details(new QPlainTextEdit(this))
{
    setObjectName(QStringLiteral("ReplyDetails"));
    setWindowTitle(QStringLiteral("Reply details"));
    setAttribute(Qt::WA_DeleteOnClose);
    m_heading->setObjectName(QStringLiteral("heading"));
    m_heading->setTextFormat(Qt::PlainText);
    m_details->setObjectName(QStringLiteral("details"));
    m_details->setAccessibleName(QStringLiteral("Reply details"));
    m_details->setReadOnly(true);
    m_details->setLineWrapMode(QPlainTextEdit::NoWrap);
    // Bytes and offsets line up in a fixed-pitch font.
    QFont fixed(QStringLiteral("Monospace"));
    fixed.setStyleHint(QFont::TypeWriter);
    m_details->setFont(fixed);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_heading);
    layout->addWidget(m_details, 1);
    resize(620, 460);
}

void ReplyDetailsWindow::show(int row, const decode::details::Decoded &decoded)
{
    m_heading->setText(QStringLiteral("Reply %1 of the replies received: %2, %3")
                           .arg(row + 1)
                           .arg(decoded.deviceName, decoded.reply));
    m_details->setPlainText(decode::details::describe(decoded).join(QLatin1Char('\n')));
    QWidget::show();
    raise();
    activateWindow();
}

QString ReplyDetailsWindow::shownText() const
{
    return m_details->toPlainText();
}

} // namespace kestrel::app
