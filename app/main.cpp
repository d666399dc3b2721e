#include "app/mainwindow.h"
#include "link/realserialdevice.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    kestrel::PortMap ports([](const QString &name) {
        return std::make_unique<kestrel::RealSerialDevice>(name);
    });
    auto *window = new kestrel::frmKestrel(ports);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
    return app.exec();
}
