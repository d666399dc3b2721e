#include "app/programlife.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <algorithm>

namespace kestrel::app {

ProgramLife::ProgramLife(std::function<void()> end, QObject *parent)
    : QObject(parent), m_end(std::move(end))
{
    QApplication::setQuitOnLastWindowClosed(false);
    qApp->installEventFilter(this);
}

bool ProgramLife::anyWindowKeepsRunning()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    return std::any_of(windows.begin(), windows.end(), [](const QWidget *window) {
        return window->isVisible() && window->testAttribute(Qt::WA_QuitOnClose)
               && window->windowType() != Qt::Desktop;
    });
}

bool ProgramLife::eventFilter(QObject *watched, QEvent *event)
{
    // A window that hides (closed, or about to be deleted) may have been the last one. Look once
    // the event has been handled, when a window shown in its place (the main window after the
    // splash) stands.
    if (event->type() == QEvent::Hide && watched->isWidgetType()
        && static_cast<QWidget *>(watched)->isWindow() && !m_checkPending) {
        m_checkPending = true;
        QTimer::singleShot(0, this, &ProgramLife::check);
    }
    return QObject::eventFilter(watched, event);
}

void ProgramLife::check()
{
    m_checkPending = false;
    if (!anyWindowKeepsRunning())
        m_end();
}

} // namespace kestrel::app
