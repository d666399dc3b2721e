#include "app/commandline.h"
#include "app/startup.h"
#include "screens/look.h"
#include "screens/version.h"
#include "sim/boardwindow.h"

#include <QApplication>

using namespace kestrel;

int main(int argc, char *argv[])
{
    // Help, version and a wrong command line only print and exit: they need no display.
    {
        QStringList arguments;
        for (int i = 0; i < argc; ++i)
            arguments << QString::fromLocal8Bit(argv[i]);
        QCommandLineParser preview;
        commandline::addOptions(preview);
        if (!preview.parse(arguments) || preview.isSet(QStringLiteral("help"))
            || preview.isSet(QStringLiteral("version")))
            qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kestrel"));
    QApplication::setApplicationVersion(QStringLiteral("%1.%2.%3")
                                            .arg(version::kMajor)
                                            .arg(version::kMinor)
                                            .arg(version::kRevision));
    QApplication::setApplicationDisplayName(QString::fromLatin1(version::kTitle));
    QApplication::setOrganizationName(QString::fromLatin1(version::kCompany));
    QApplication::setWindowIcon(look::appIcon());

    QCommandLineParser parser;
    commandline::addOptions(parser);
    parser.process(app);

    PortMap ports(&commandline::makeDevice);
    commandline::applyOptions(parser, ports);

    // Each virtual board opens its window beside the console, and closes with it.
    QList<QPointer<sim::BoardWindow>> boardWindows;
    for (sim::VirtualBoard *board : commandline::virtualBoards(ports))
        boardWindows.append(new sim::BoardWindow(*board));

    Startup startup(ports);
    QObject::connect(&startup, &Startup::mainWindowCreated, [&boardWindows](frmKestrel *window) {
        int top = window->y();
        for (const QPointer<sim::BoardWindow> &boardWindow : boardWindows) {
            // Beside the console, where it hides none of the console's controls.
            boardWindow->move(window->frameGeometry().right() + 12, top);
            top += 40;
            boardWindow->show();
            QObject::connect(window, &QObject::destroyed, boardWindow, &QWidget::close);
        }
    });
    startup.begin();
    const int status = app.exec();
    for (const QPointer<sim::BoardWindow> &boardWindow : boardWindows)
        delete boardWindow;
    return status;
}
