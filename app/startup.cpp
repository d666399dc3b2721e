#include "app/startup.h"

#include "screens/splash.h"

namespace kestrel::app {

Startup::Startup(link::PortMap &ports, QObject *parent)
    : QObject(parent), m_ports(ports)
{
}

Startup::~Startup()
{
    delete m_main;   // releases the port if the program ended with the window still open
}

void Startup::begin()
{
    auto *splash = new screens::frmSplash;
    connect(splash, &screens::frmSplash::dismissed, this, &Startup::showMain);
    splash->show();
    splash->activateWindow();
}

void Startup::showMain()
{
    if (!m_created) {
        m_created = true;
        m_main = new frmKestrel(m_ports);
        m_main->setAttribute(Qt::WA_DeleteOnClose);
        emit mainWindowCreated(m_main);
    }
    if (!m_main)
        return;   // the operator closed it already
    m_main->show();
    m_main->raise();
    m_main->activateWindow();
}

} // namespace kestrel::app
