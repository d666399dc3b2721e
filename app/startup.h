#pragma once

#include "app/mainwindow.h"

#include <QPointer>

namespace kestrel::app {

// Program start: the splash screen comes first; when it closes, the main window is created (its
// load step runs), shown and brought to the front.
class Startup : public QObject
{
    Q_OBJECT
public:
    explicit Startup(link::PortMap &ports, QObject *parent = nullptr);
    ~Startup() override;

    void begin();
    frmKestrel *mainWindow() const { return m_main; }

signals:
    void mainWindowCreated(kestrel::app::frmKestrel *window);

private:
    void showMain();

    link::PortMap &m_ports;
    QPointer<frmKestrel> m_main;
    bool m_created = false;
};

} // namespace kestrel::app
