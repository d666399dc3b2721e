#include "app/boardplacement.h"
#include "session/benchrecords.h"
#include "session/commandline.h"
#include "session/headlessrun.h"
#include "app/programlife.h"
#include "app/startup.h"
#include "session/textoutput.h"
#include "screens/version.h"
#include "sim/boardwindow.h"

#include <QApplication>
#include <QScreen>
#include <QTimer>


using namespace kestrel;
using namespace kestrel::app;

namespace {
// The program's name, version and maker, which its data folder, settings file and --version read.
void nameProgram(const QString &version)
{
    QCoreApplication::setApplicationName(QStringLiteral("Kestrel"));
    QCoreApplication::setApplicationVersion(version);
    QCoreApplication::setOrganizationName(QString::fromLatin1(screens::version::kCompany));
}
} // namespace

int main(int argc, char *argv[])
{
    const QString programVersion = QStringLiteral("%1.%2.%3")
                                       .arg(screens::version::kMajor)
                                       .arg(screens::version::kMinor)
                                       .arg(screens::version::kRevision);
    // Help, version and a wrong command line only print and exit, before any window opens: they
    // need no display, and on Windows they go to the prompt the program was started from rather
    // than into a message box.
    {
        session::attachToStartingConsole();
        QStringList arguments;
        for (int i = 0; i < argc; ++i)
            arguments << QString::fromLocal8Bit(argv[i]);
        QCommandLineParser preview;
        session::addOptions(preview);
        if (!preview.parse(arguments)) {
            // An option of Qt's own (-platform, -style) or a wrong one: the application takes
            // Qt's, and the parser below reports a wrong one, with no display needed for that.
            qputenv("QT_QPA_PLATFORM", "offscreen");
        } else if (preview.isSet(QStringLiteral("version"))) {
            session::printOut(QStringLiteral("Kestrel %1\n").arg(programVersion));
            return 0;
        } else if (preview.isSet(QStringLiteral("help"))) {
            // With no application object yet, the parser cannot name the program itself.
            session::printOut(preview.helpText().replace(QStringLiteral("<executable_name>"),
                                                QStringLiteral("kestrel")));
            return 0;
        } else if (const QString wrong = session::check(preview, false); !wrong.isEmpty()) {
            session::printError(QStringLiteral("kestrel: %1\n").arg(wrong));
            return preview.isSet(QStringLiteral("plan")) ? 2 : 1;
        } else if (preview.isSet(QStringLiteral("plan"))) {
            // A test plan with no window: the console core alone, no display needed.
            QCoreApplication app(argc, argv);
            nameProgram(programVersion);
            if (const QString wrong = session::check(preview, true); !wrong.isEmpty()) {
                session::printError(QStringLiteral("kestrel: %1\n").arg(wrong));
                return 2;
            }
            return session::runPlanHeadless(preview);
        } else if (preview.isSet(QStringLiteral("history"))) {
            // The bench history printed: no window, no display, no port.
            QCoreApplication app(argc, argv);
            nameProgram(programVersion);
            return session::printHistory(preview);
        }
    }
    QApplication app(argc, argv);
    // No display name and no program-wide icon: the platform would add the display name to every
    // title bar, and give the icon to the screens that have none of their own. The main window and
    // the splash set their own.
    nameProgram(programVersion);
    // The program ends when its last window has closed, the main window (a tool window) included.
    app::ProgramLife life([] { QCoreApplication::quit(); });

    QCommandLineParser parser;
    session::addOptions(parser);
    parser.process(app);
    if (const QString wrong = session::check(parser, true); !wrong.isEmpty()) {
        session::printError(QStringLiteral("kestrel: %1\n").arg(wrong));
        return 1;
    }

    link::PortMap ports(&session::makeDevice);
    session::applyOptions(parser, ports);

    // Each virtual board has a window of its own, which opens with the console and closes with it.
    QList<QPointer<sim::BoardWindow>> boardWindows;
    for (sim::VirtualBoard *board : session::virtualBoards(ports))
        boardWindows.append(new sim::BoardWindow(*board));

    // The bench records: what cannot be kept is told in the console's action log once it opens.
    session::BenchRecords bench(parser);
    app::Startup startup(ports);
    const bool boardAnswers = parser.value(QStringLiteral("plan-answers")) == QLatin1String(session::kVirtual);
    const QString capturePath = parser.value(QStringLiteral("capture"));
    QObject::connect(&startup, &Startup::mainWindowCreated, [&boardWindows, &ports, &bench, boardAnswers, capturePath](frmKestrel *window) {
        window->setBenchRecords(bench.store(), [&bench] { bench.nudge(); });
        bench.tellTo([window = QPointer<frmKestrel>(window)](const QString &message) {
            if (window)
                window->console().state.log.AppendLogLine(message);
        });
        if (!capturePath.isEmpty())
            window->startCapture(capturePath);
        // A plan's requests for coins and bills are answered by the virtual board of "Comm1".
        if (boardAnswers)
            if (sim::VirtualBoard *board = session::virtualBoards(ports).value(0))
                window->setPlanAnswerer([board = QPointer<sim::VirtualBoard>(board)](const QString &prompt) {
                    if (board)
                        board->answer(prompt);
                });
        for (const QPointer<sim::BoardWindow> &boardWindow : boardWindows)
            QObject::connect(window, &QObject::destroyed, boardWindow, &QWidget::close);
        // Once the console stands on the screen: beside it where the board fits, else where it
        // hides the fewest of its controls.
        QTimer::singleShot(0, window, [window, boardWindows] {
            const QRect available = window->screen()->availableGeometry();
            const QMargins frame(window->geometry().left() - window->frameGeometry().left(),
                                 window->geometry().top() - window->frameGeometry().top(),
                                 window->frameGeometry().right() - window->geometry().right(),
                                 window->frameGeometry().bottom() - window->geometry().bottom());
            QList<QRect> covered = window->controlRects();
            for (const QPointer<sim::BoardWindow> &boardWindow : boardWindows) {
                if (!boardWindow)
                    continue;
                boardWindow->adjustSize();
                const QSize size = boardWindow->size().grownBy(frame);
                const QPoint place = app::placeBoardWindow(window->frameGeometry(), size, available,
                                                      covered);
                boardWindow->move(place);
                boardWindow->show();
                covered.append(QRect(place, size));   // a second board avoids the first
            }
        });
    });
    startup.begin();
    const int status = app.exec();
    for (const QPointer<sim::BoardWindow> &boardWindow : boardWindows)
        delete boardWindow;
    return status;
}
