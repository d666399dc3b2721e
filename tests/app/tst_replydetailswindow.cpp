#include "app/lineview.h"
#include "tests/app/windowrig.h"

#include <QTest>

using namespace kestrel;
using namespace kestrel::test;

// The "Reply details" window: a raw reply double-clicked, or chosen with Enter, shown decoded.
class ReplyDetailsWindowTest : public QObject
{
    Q_OBJECT

    static void doubleClickRow(app::LineView *view, int row)
    {
        QTest::mouseDClick(view, Qt::LeftButton, {}, view->rowRect(row).center());
    }

private slots:
    void doubleClickShowsTheReplyDecoded()
    {
        WindowRig rig;
        rig.click("Option1");
        rig.device(1).arrive("08 50 06\r\n");
        deliverEvents();
        // The changer is asked for its tube status; its reply comes.
        rig.click("cmdTubeStatus");
        rig.device(1).changeCts();
        deliverEvents();
        rig.device(1).arrive("08 00 01 00 05 03 00 00 00 00 00 00 00 00 00 00 00 00 00\r\n");
        deliverEvents();
        auto *raw = rig.control<app::LineView>("List1");
        QCOMPARE(rig.console().state.List1.count(), 2);
        const QSize before = rig.window->size();

        doubleClickRow(raw, 0);
        app::ReplyDetailsWindow *details = rig.window->replyDetails();
        QVERIFY(details);
        QVERIFY(details->isVisible());
        QCOMPARE(details->windowTitle(), QStringLiteral("Reply details"));
        QVERIFY(details->shownText().contains(
            QStringLiteral("[1-2] coin deposited: coin type 0 (Nickel) to the tubes; coins now in the tube: 6")));
        QVERIFY(details->shownText().contains(QStringLiteral("Bytes: 0:08 1:50 2:06")));

        // A later double click shows that row, in the same window; the pending frame told which
        // reply it is.
        doubleClickRow(raw, 1);
        QCOMPARE(rig.window->replyDetails(), details);
        const QString shown = details->shownText();
        QVERIFY2(shown.contains(QStringLiteral("because: The pending frame 0A asked for TUBE STATUS.")), qPrintable(shown));
        QVERIFY(shown.contains(QStringLiteral(
            "[3] tube of coin type 0 (Nickel): 0 coins: flagged full with none in it, a faulty tube sensor")));

        // Enter on the selected row does the same; the main window is as it was.
        rig.console().state.List1.select(0);
        QTest::keyClick(raw, Qt::Key_Return);
        QVERIFY(details->shownText().contains(QStringLiteral("coin deposited")));
        QCOMPARE(rig.window->size(), before);
        QCOMPARE(rig.log().last(), QStringLiteral("Tube Status"));   // nothing logged by it
        delete details;
    }
};

QTEST_MAIN(ReplyDetailsWindowTest)
#include "tst_replydetailswindow.moc"
