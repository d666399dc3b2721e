#pragma once

#include "app/console.h"
#include "app/tabstrip.h"

#include <QHash>
#include <QMainWindow>

namespace kestrel {

// The main window, frmKestrel: a left column with the raw replies, the action log, the debugging
// lists, the money total and the status line; on the right a row of six tabs, each showing one
// panel of buttons and lists. Every control carries its name as objectName. The window only shows
// the Console's state and hands the operator's clicks to it.
class frmKestrel : public QMainWindow
{
    Q_OBJECT
public:
    explicit frmKestrel(PortMap &ports, QWidget *parent = nullptr);
    ~frmKestrel() override;

    Console &console() { return m_console; }

    template <class T = QWidget>
    T *control(const QString &name) const { return qobject_cast<T *>(m_controls.value(name)); }
    QWidget *Pictab(int index) const;
    TabStrip *TabStrip1() const { return control<TabStrip>(QStringLiteral("TabStrip1")); }

private:
    void buildControls();
    void buildMenus();
    QWidget *makeControl(int row, QWidget *container);
    void showCaption(TextCaption &caption, const QString &labelName);

    Console m_console;
    QHash<QString, QWidget *> m_controls;
};

} // namespace kestrel
