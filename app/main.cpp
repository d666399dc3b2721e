#include "app/startup.h"
#include "link/realserialdevice.h"
#include "screens/look.h"
#include "screens/version.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kestrel"));
    QApplication::setApplicationDisplayName(QString::fromLatin1(kestrel::version::kTitle));
    QApplication::setOrganizationName(QString::fromLatin1(kestrel::version::kCompany));
    QApplication::setWindowIcon(kestrel::look::appIcon());

    kestrel::PortMap ports([](const QString &name) {
        return std::make_unique<kestrel::RealSerialDevice>(name);
    });
    kestrel::Startup startup(ports);
    startup.begin();
    return app.exec();
}
