#include "app/boardplacement.h"
#include "app/programlife.h"
#include "tests/app/windowrig.h"

#include "screens/splash.h"
#include "sim/boardwindow.h"

#include <QMainWindow>

#include <algorithm>
#include <QTest>

using namespace kestrel;
using namespace kestrel::test;

// When the program ends, and where the virtual board's window opens.
class ProgramLifeTest : public QObject
{
    Q_OBJECT

    static QWidget *window(Qt::WindowFlags flags, bool keepsRunning = true)
    {
        auto *w = new QWidget(nullptr, flags);
        w->setAttribute(Qt::WA_DeleteOnClose);
        if (!keepsRunning)
            w->setAttribute(Qt::WA_QuitOnClose, false);
        w->resize(100, 100);
        w->show();
        return w;
    }

private slots:
    void theConsoleAndItsSplashKeepTheProgramRunning()
    {
        // Tool windows, which Qt's own rule would leave out.
        WindowRig rig;
        QVERIFY(rig.window->windowFlags() & Qt::Tool);
        QVERIFY(rig.window->testAttribute(Qt::WA_QuitOnClose));
        screens::frmSplash splash;
        QVERIFY(splash.testAttribute(Qt::WA_QuitOnClose));
        sim::VirtualBoard board;
        QVERIFY(!sim::BoardWindow(board).testAttribute(Qt::WA_QuitOnClose));
    }

    void endsWhenTheLastWindowThatKeepsItRunningCloses()
    {
        int ended = 0;
        app::ProgramLife life([&] { ++ended; });
        QWidget *console = window(Qt::Window);                     // keeps it running
        QWidget *picture = window(Qt::Window);                     // a picture screen
        QWidget *about = window(Qt::Window);
        QWidget *board = window(Qt::Window, false);                // the virtual board's window

        picture->close();                                          // the console goes on
        QTest::qWait(20);
        QCOMPARE(ended, 0);
        console->close();                                          // Exit with About open
        QTest::qWait(20);
        QCOMPARE(ended, 0);
        about->close();                                            // the board alone keeps nothing
        QTest::qWait(20);
        QCOMPARE(ended, 1);
        delete board;
    }

    void exitWithNothingElseOpenEnds()
    {
        int ended = 0;
        app::ProgramLife life([&] { ++ended; });
        QWidget *console = window(Qt::Window);
        console->close();
        QTest::qWait(20);
        QCOMPARE(ended, 1);
    }

    void windowShownInPlaceOfTheClosedOneKeepsItRunning()
    {
        // The splash screen closes right after it has shown the main window.
        int ended = 0;
        app::ProgramLife life([&] { ++ended; });
        QWidget *splash = window(Qt::Window | Qt::FramelessWindowHint);
        QWidget *console = window(Qt::Window);
        splash->close();
        QTest::qWait(20);
        QCOMPARE(ended, 0);
        delete console;
        QTest::qWait(20);
        QCOMPARE(ended, 1);
    }

    void boardWindowPlacement_data()
    {
        QTest::addColumn<QRect>("screen");
        QTest::addColumn<bool>("beside");
        QTest::newRow("1366 x 768: beside") << QRect(0, 0, 1366, 768) << true;
        QTest::newRow("1920 x 1080: beside") << QRect(0, 0, 1920, 1080) << true;
        QTest::newRow("1280 x 1024: over the console's right edge") << QRect(0, 0, 1280, 1024) << false;
        QTest::newRow("1024 x 768: within the screen") << QRect(0, 0, 1024, 768) << false;
        QTest::newRow("800 x 600: within the screen") << QRect(0, 0, 800, 600) << false;
    }
    void boardWindowPlacement()
    {
        QFETCH(QRect, screen);
        QFETCH(bool, beside);
        WindowRig rig;
        sim::VirtualBoard board;
        sim::BoardWindow boardWindow(board);
        boardWindow.adjustSize();
        const QRect console = rig.window->frameGeometry();
        const QList<QRect> controls = rig.window->controlRects();
        QVERIFY(controls.size() > 10);
        const QPoint place = app::placeBoardWindow(console, boardWindow.size(), screen, controls);
        const QRect frame(place, boardWindow.size());
        if (frame.width() <= screen.width() && frame.height() <= screen.height())
            QVERIFY2(screen.contains(frame), qPrintable(QStringLiteral("%1,%2").arg(place.x()).arg(place.y())));
        // Beside the console wherever there is room for it there; otherwise over the console's
        // right edge, where the Setup panel holds nothing but its Exit button and the end of the
        // row of tabs: one of them at most is covered.
        const bool room = console.right() + 13 + boardWindow.width() <= screen.right();
#ifndef Q_OS_WIN
        // With the fonts of the Linux desktop there is room on a 1366-pixel laptop screen. (The
        // Windows build's offscreen tests draw with Wine's default font, wider than the desktop's.)
        QCOMPARE(room, beside);
#else
        Q_UNUSED(beside);
#endif
        if (room) {
            QVERIFY2(place == QPoint(console.right() + 13, console.top()),
                     qPrintable(QStringLiteral("console %1 px wide at %2, board window %3 px wide: placed at %4,%5")
                                    .arg(console.width()).arg(console.left()).arg(boardWindow.width())
                                    .arg(place.x()).arg(place.y())));
        } else if (screen.width() >= 1280) {
            const qsizetype covered = std::count_if(controls.begin(), controls.end(),
                                                    [&](const QRect &c) { return frame.intersects(c); });
            QVERIFY2(covered <= 1, qPrintable(QString::number(covered)));
        }
    }
};

QTEST_MAIN(ProgramLifeTest)
#include "tst_programlife.moc"
