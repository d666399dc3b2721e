#pragma once

#include "session/commandline.h"
#include "app/mainwindow.h"
#include "tests/support/fakeserialdevice.h"
#include "tests/support/consolerig.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>

namespace kestrel::test {

// Shows the tab whose panel holds the control, then clicks the control as the operator would.
inline void clickOnItsTab(app::frmKestrel &window, const char *name)
{
    QWidget *widget = window.control(QString::fromLatin1(name));
    for (QWidget *w = widget; w; w = w->parentWidget())
        if (w->objectName().startsWith(QLatin1String("Pictab")))
            window.TabStrip1()->selectTab(w->objectName().mid(6).toInt() + 1);
    QTest::mouseClick(widget, Qt::LeftButton, {}, widget->rect().center());
}

// Closes the second splash screen that the window's load step shows.
inline void closeSplashes()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String("frmSplash"))
            delete w;
}

// The real main window with "Comm1" on the device named, as `kestrel --com1 DEVICE` has it: a
// serial port's path, "virtual", rfc2217://HOST:PORT or socket://HOST:PORT. Shown offscreen, its
// log file in a scratch directory. Comm2 to Comm4 are on fake devices, so that no click opens a
// real port.
struct DeviceWindowRig
{
    explicit DeviceWindowRig(const QString &device, console::Console::Settings settings = {})
        : ports([](const QString &name) {
              return name.startsWith(QLatin1String("fake")) ? std::make_unique<FakeSerialDevice>(name)
                                                            : session::makeDevice(name);
          })
    {
        ports.setName(1, device);
        for (int port = 2; port <= link::PortMap::kPorts; ++port)
            ports.setName(port, QStringLiteral("fake%1").arg(port));
        settings.logPath = dir.filePath(QStringLiteral("log.txt"));
        window = std::make_unique<app::frmKestrel>(ports, std::move(settings));
        closeSplashes();
        window->show();
    }
    ~DeviceWindowRig()
    {
        window.reset();
        closeSplashes();
    }
    console::Console &console() { return window->console(); }
    QStringList log() { return console().state.lstActionLog.rows(); }
    void click(const char *name) { clickOnItsTab(*window, name); }

    QTemporaryDir dir;
    link::PortMap ports;
    std::unique_ptr<app::frmKestrel> window;
};

// The real main window over fake devices on all four ports, shown offscreen. The second splash
// screen that the load step shows is closed at once.
struct WindowRig
{
    WindowRig()
        : ports([](const QString &name) { return std::make_unique<FakeSerialDevice>(name); })
    {
        window = std::make_unique<app::frmKestrel>(ports, dir.filePath(QStringLiteral("log.txt")));
        window->setEndProgram([this] { ++programEnded; });
        closeSplashes();
        window->show();
    }
    ~WindowRig()
    {
        window.reset();
        closeSplashes();
    }

    static void closeSplashes() { test::closeSplashes(); }
    static int splashCount()
    {
        int n = 0;
        for (QWidget *w : QApplication::topLevelWidgets())
            n += w->objectName() == QLatin1String("frmSplash") && w->isVisible();
        return n;
    }

    FakeSerialDevice &device(int port)
    {
        return *static_cast<FakeSerialDevice *>(ports.device(port));
    }
    console::Console &console() { return window->console(); }
    QStringList log() { return console().state.lstActionLog.rows(); }
    template <class T = QWidget>
    T *control(const char *name) { return window->control<T>(QString::fromLatin1(name)); }
    void click(const char *name) { clickOnItsTab(*window, name); }

    QTemporaryDir dir;
    link::PortMap ports;
    std::unique_ptr<app::frmKestrel> window;
    int programEnded = 0;
};

} // namespace kestrel::test
