#include "screens/boardscreens.h"
#include "tests/app/windowrig.h"

#include <QAction>
#include <QFile>
#include <QImageReader>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>

using namespace kestrel;
using namespace kestrel::test;

namespace {
// Records open requests instead of starting a viewer or a browser.
struct RecordingOpener : app::UrlOpener
{
    QList<QUrl> opened;
    bool succeed = true;
    bool open(const QUrl &url) override
    {
        opened << url;
        return succeed;
    }
};

int windowsNamed(const QString &name)
{
    int n = 0;
    for (QWidget *w : QApplication::topLevelWidgets())
        n += w->objectName() == name && w->isVisible();
    return n;
}
void settle() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }
} // namespace

class ScreensTest : public QObject
{
    Q_OBJECT
private slots:
    void pdfButtonsMakeOneRequestForTheirFile_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("message");
        QTest::newRow("coin") << "cmdCoinPDF" << "mdb_5.pdf"
                              << "Error opening PDF, verify files exsistence in program directory, ";
        QTest::newRow("bill") << "cmdBillPDF" << "mdb_6.pdf"
                              << "Error opening PDF, verify files exsistence in program's directory, ";
        QTest::newRow("cashless") << "cmdCashlessPDF" << "mdb_7.pdf"
                                  << "Error opening PDF, verify files exsistence in program directory, ";
    }
    void pdfButtonsMakeOneRequestForTheirFile()
    {
        QFETCH(QString, button);
        QFETCH(QString, file);
        QFETCH(QString, message);
        WindowRig rig;
        RecordingOpener opener;
        QTemporaryDir dir;
        rig.window->docLinks().setOpener(opener);
        rig.window->docLinks().setProgramDirectory(dir.path());
        const QString path = QDir::toNativeSeparators(dir.filePath(file));

        // Missing file: one error line naming the path, selected; no request.
        rig.click(button.toLatin1());
        QCOMPARE(rig.log(), QStringList{message + "File not found: " + path + " - 53"});
        QCOMPARE(rig.console().state.lstActionLog.selectedRow(), 0);
        QVERIFY(opener.opened.isEmpty());

        QFile pdf(dir.filePath(file));
        QVERIFY(pdf.open(QIODevice::WriteOnly));
        pdf.close();
        rig.click(button.toLatin1());
        QCOMPARE(opener.opened, QList<QUrl>{QUrl::fromLocalFile(dir.filePath(file))});
        QCOMPARE(rig.log().size(), 1);

        opener.succeed = false;   // no viewer took the request
        rig.click(button.toLatin1());
        QCOMPARE(rig.log().last(), message + "No program could open " + path + " - 31");
    }

    void webLinksOpenTheMakersPagesWithoutALogLine()
    {
        WindowRig rig;
        RecordingOpener opener;
        rig.window->docLinks().setOpener(opener);
        rig.window->findChild<QAction *>("mnuVLMOnline")->trigger();
        rig.click("VLMOnline");
        rig.window->findChild<QAction *>("mnuOrder")->trigger();
        opener.succeed = false;
        rig.window->findChild<QAction *>("mnuVLMOnline")->trigger();
        const QUrl home("http://www.velmora.example");
        QCOMPARE(opener.opened, QList<QUrl>({home, home, QUrl("http://www.velmora.example/order.html"), home}));
        QVERIFY(rig.log().isEmpty());
    }

    void boardScreensOpenOnceAndClose_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("screen");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QSize>("client");
        QTest::addColumn<QString>("closeButton");
        QTest::newRow("LEDs") << "cmdShowLEDjump" << "frmLEDjump" << "LEDs and Jumper settings"
                              << QSize(634, 448) << "Command1";
        QTest::newRow("connectors") << "cmdshowfrmConnector" << "frmConnector" << "Connector Information"
                                    << QSize(664, 384) << "Command1";
        QTest::newRow("Quillon layout") << "cmdShowQuillonLayout" << "QuillonLayout" << "Form1"
                                        << QSize(727, 480) << "cmdexitQuillonLayout";
        QTest::newRow("Quillon connectors") << "cmdShowQuillonConnectorScreen" << "QuillonConnector"
                                            << "Quillon Connectors" << QSize(767, 206)
                                            << "cmdcloseQuillonConnector";
    }
    void boardScreensOpenOnceAndClose()
    {
        QFETCH(QString, button);
        QFETCH(QString, screen);
        QFETCH(QString, caption);
        QFETCH(QSize, client);
        QFETCH(QString, closeButton);
        WindowRig rig;
        rig.click(button.toLatin1());
        rig.click(button.toLatin1());
        QCOMPARE(windowsNamed(screen), 1);
        auto *window = qobject_cast<QMainWindow *>(rig.window->referenceScreen(screen));
        QVERIFY(window);
        QCOMPARE(window->windowTitle(), caption);
        QCOMPARE(window->centralWidget()->size(), client);
        window->findChild<QPushButton *>(closeButton)->click();
        settle();
        QCOMPARE(windowsNamed(screen), 0);
        QVERIFY(!rig.window->referenceScreen(screen));
        rig.click(button.toLatin1());            // opens again after a close
        QCOMPARE(windowsNamed(screen), 1);
        delete rig.window->referenceScreen(screen);
    }

    void fixedScreensStandWhereDesigned()
    {
        // Their client areas (below the LED screen's menu bar) stand at their places, not the
        // frames around them.
        screens::BoardScreen leds(screens::BoardScreen::Which::LedsAndJumpers);
        leds.show();
        QCOMPARE(leds.centralWidget()->mapToGlobal(QPoint(0, 0)), QPoint(96, 150));
        QCOMPARE(leds.centralWidget()->size(), QSize(634, 448));
        screens::BoardScreen connectors(screens::BoardScreen::Which::Connectors);
        connectors.show();
        QCOMPARE(connectors.centralWidget()->mapToGlobal(QPoint(0, 0)), QPoint(161, 255));
        QCOMPARE(connectors.centralWidget()->size(), QSize(664, 384));
        QCOMPARE(leds.findChild<QLabel *>("Label1")->text(), QStringLiteral("LED and Jumper Functions"));
        QCOMPARE(leds.findChild<QLabel *>("Label1")->font().pointSizeF(), 24.0);
    }

    void ledScreenClosesFromItsFileMenu()
    {
        WindowRig rig;
        rig.click("cmdShowLEDjump");
        auto *window = qobject_cast<QMainWindow *>(rig.window->referenceScreen("frmLEDjump"));
        QAction *file = window->menuBar()->actions().value(0);
        QCOMPARE(file->text(), QStringLiteral("&File"));
        QAction *close = window->findChild<QAction *>("mnuClose");
        QCOMPARE(close->text(), QStringLiteral("&Close"));
        close->trigger();
        settle();
        QVERIFY(!rig.window->referenceScreen("frmLEDjump"));
    }

    void picturesHaveTheirFormatsAndSizes_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("format");
        QTest::addColumn<QSize>("size");
        QTest::newRow("LEDs and jumpers") << ":/kestrel/tessard-leds.jpg" << QByteArray("jpeg") << QSize(634, 429);
        QTest::newRow("connectors") << ":/kestrel/tessard-connectors.jpg" << QByteArray("jpeg") << QSize(664, 386);
        QTest::newRow("Quillon layout") << ":/kestrel/quillon-layout.bmp" << QByteArray("bmp") << QSize(729, 487);
        QTest::newRow("Quillon connectors") << ":/kestrel/quillon-connectors.bmp" << QByteArray("bmp") << QSize(768, 619);
        QTest::newRow("About picture") << ":/kestrel/about.jpg" << QByteArray("jpeg") << QSize(250, 185);
        QTest::newRow("About logo") << ":/kestrel/about-logo.gif" << QByteArray("gif") << QSize(85, 101);
        for (int s : {16, 24, 32, 48, 64, 72})
            QTest::newRow(qPrintable(QString("icon %1").arg(s)))
                << QString(":/kestrel/kestrel-%1.png").arg(s) << QByteArray("png") << QSize(s, s);
    }
    void picturesHaveTheirFormatsAndSizes()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, format);
        QFETCH(QSize, size);
        QImageReader reader(file);
        reader.setDecideFormatFromContent(true);
        QCOMPARE(reader.format(), format);
        QCOMPARE(reader.size(), size);
        QVERIFY(!reader.read().isNull());
        if (format == "bmp") {
            QFile bmp(file);
            QVERIFY(bmp.open(QIODevice::ReadOnly));
            const QByteArray header = bmp.read(30);
            QCOMPARE(int(quint8(header[28])), 24);   // bits per pixel
        }
    }

    void aboutOpensOnceAndKeepsTheProgramRunning()
    {
        WindowRig rig;
        rig.window->findChild<QAction *>("mnuhelpabout")->trigger();
        rig.window->findChild<QAction *>("mnuhelpabout")->trigger();
        QCOMPARE(windowsNamed("HelpScreen"), 1);
        QWidget *about = rig.window->referenceScreen("HelpScreen");
        QCOMPARE(about->windowTitle(), QStringLiteral("About Kestrel"));
        QCOMPARE(about->size(), QSize(391, 476));
        QCOMPARE(about->findChild<QLabel *>("AboutHelp")->text(),
                 QStringLiteral("The Tessard, Brindle and Quillon interfaces are products developed by Velmora Inc. (VLM)"));
        QCOMPARE(about->findChild<QLabel *>("AboutHelp")->font().pointSizeF(), 12.0);
        QVERIFY(about->findChild<QLabel *>("AboutHelp")->font().italic());
        QVERIFY(about->findChild<QLabel *>("Label1")->text().contains("Velmora Inc"));
        QVERIFY(about->findChild<QLabel *>("AboutHelp2")->text().contains("2004-2026"));
        QVERIFY(!about->findChild<QPushButton *>());   // closed only by the title bar
        QPointer<QWidget> watch(about);

        rig.click("cmdExitSetup");                       // the main window goes, About stays
        QVERIFY(!rig.window->isVisible());
        QVERIFY(watch && watch->isVisible());
        // A window of its own that counts for quitting: the program runs until it is closed too.
        QVERIFY(!watch->parentWidget());
        QVERIFY(watch->testAttribute(Qt::WA_QuitOnClose));
        watch->close();
        settle();
        QVERIFY(!watch);
    }
};

QTEST_MAIN(ScreensTest)
#include "tst_screens.moc"
