#include "app/lineview.h"
#include "tests/app/windowrig.h"

#include <QAccessible>
#include <QHelpEvent>
#include <QTest>
#include <QToolTip>

using namespace kestrel;
using namespace kestrel::test;

namespace {

// What the lists told an assistive tool.
int told = 0;

void listen(QAccessibleEvent *event)
{
    if (qobject_cast<app::LineView *>(event->object()))
        ++told;
}

QAccessibleInterface *accessible(QWidget *widget)
{
    return QAccessible::queryAccessibleInterface(widget);
}

QStringList rowNames(QAccessibleInterface *list)
{
    QStringList names;
    for (int i = 0; i < list->childCount(); ++i)
        names << list->child(i)->text(QAccessible::Name);
    return names;
}

} // namespace

// The console's lists as a screen reader or a UI automation tool reads them, through Qt's own
// accessibility interfaces. What they tell a listening tool as rows come and go is checked over
// AT-SPI on a real display (tests/desktop).
class ListAccessTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QAccessible::installUpdateHandler(&listen); }
    void init() { told = 0; }

    void listsAreListsOfNamedRows_data()
    {
        QTest::addColumn<QString>("list");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<int>("selected");
        QTest::newRow("coin names") << "lstCoin" << "Coin Totals"
            << QStringList{"Nickel", "Dime", "Quarter", "Canadian Dollar", "Canadian Two Dollar"} << 0;
        QTest::newRow("coin counts") << "lstCoinCount" << "Coin counts"
            << QStringList{"0", "0", "0", "0", "0"} << 0;
        QTest::newRow("bill names") << "lstBill" << "Bill Totals"
            << QStringList{"$1", "$2", "$5", "$10", "$20"} << 0;
        QTest::newRow("bill counts") << "lstBillCount" << "Bill counts"
            << QStringList{"0", "0", "0", "0", "0"} << 0;
        QTest::newRow("debugging labels") << "lstDebugging" << "Comm Port Property Information"
            << QStringList{"In Buffer Count", "Input Buffer Lenght", "Buffer Content"} << 0;
        QTest::newRow("debugging values") << "lstDebuggingValue" << "Comm Port Property values"
            << QStringList{" ", " ", " "} << 0;
        QTest::newRow("raw replies") << "List1" << "Replies received" << QStringList{} << -1;
        QTest::newRow("action log") << "lstActionLog" << "Action Log" << QStringList{} << -1;
        QTest::newRow("USB results") << "lstUSBResults" << "USB results" << QStringList{} << -1;
        QTest::newRow("cashless list") << "List2" << "Cashless device list" << QStringList{} << -1;
    }
    void listsAreListsOfNamedRows()
    {
        QFETCH(QString, list);
        QFETCH(QString, name);
        QFETCH(QStringList, rows);
        QFETCH(int, selected);
        WindowRig rig;
        QWidget *view = rig.control(list.toLatin1().constData());
        QAccessibleInterface *iface = accessible(view);
        QVERIFY(iface);
        QCOMPARE(iface->role(), QAccessible::List);
        QCOMPARE(iface->text(QAccessible::Name), name);
        QCOMPARE(iface->childCount(), rows.size());
        QCOMPARE(rowNames(iface), rows);
        for (int i = 0; i < iface->childCount(); ++i) {
            QAccessibleInterface *row = iface->child(i);
            QCOMPARE(row->role(), QAccessible::ListItem);
            QCOMPARE(row->parent(), iface);
            QCOMPARE(iface->indexOfChild(row), i);
            QCOMPARE(bool(row->state().selected), i == selected);
            QVERIFY(row->state().selectable);
            // A list on a tab not shown has no place on the screen, nor have its rows.
            if (view->isVisible())
                QVERIFY(iface->rect().contains(row->rect()));
            else
                QVERIFY(row->rect().isEmpty() && row->state().invisible);
        }
    }

    void aReplyIsANewItemAndTheLogsLastLineIsReadable()
    {
        WindowRig rig;
        QAccessibleInterface *raw = accessible(rig.control("List1"));
        QAccessibleInterface *log = accessible(rig.control("lstActionLog"));
        rig.click("Option1");
        rig.device(1).arrive("08 50 06\r\n");
        deliverEvents();
        QCOMPARE(rowNames(raw), QStringList{QStringLiteral("08 50 06\u240d\u240a")});
        QCOMPARE(log->child(log->childCount() - 1)->text(QAccessible::Name),
                 QStringLiteral("Received a Nickel"));
        // A button's line is selected, and the row read says so.
        rig.click("cmdDispenseDime");
        QAccessibleInterface *last = log->child(1);
        QCOMPARE(last->text(QAccessible::Name), QStringLiteral("Dispense Dime"));
        QVERIFY(last->state().selected);
        QVERIFY(!log->child(0)->state().selected);
        QCOMPARE(log->childAt(last->rect().center().x(), last->rect().center().y()), last);
    }

    void aCountThatChangesAndAClearedListAreRead()
    {
        WindowRig rig;
        QAccessibleInterface *iface = accessible(rig.control("lstCoinCount"));
        QCOMPARE(iface->child(1)->text(QAccessible::Name), QStringLiteral("0"));
        rig.console().state.lstCoinCount.setRow(1, QStringLiteral("7"));
        QCOMPARE(iface->child(1)->text(QAccessible::Name), QStringLiteral("7"));
        QAccessibleInterface *row = iface->child(4);
        rig.click("cmdClearCoinTotals");
        QCOMPARE(iface->childCount(), 0);
        QVERIFY(!row->isValid());
        rig.click("cmdClearAll");
        QCOMPARE(iface->childCount(), 5);
        QCOMPARE(iface->child(4)->text(QAccessible::Name), QStringLiteral("0"));
    }

    // With no assistive tool listening (as on the offscreen platform), a list does no work for
    // one: nothing is told.
    void nothingIsToldWhenNoToolListens()
    {
        QVERIFY(!QAccessible::isActive());
        WindowRig rig;
        rig.console().state.lstActionLog.append(QStringLiteral("quiet"));
        rig.console().state.lstActionLog.selectLast();
        rig.console().state.lstActionLog.clear();
        QCOMPARE(told, 0);
    }

    void cutOffRowShowsItsWholeTextWhenHovered()
    {
        WindowRig rig;
        auto *log = rig.control<app::LineView>("lstActionLog");
        const QString line = QStringLiteral("Communications Error, Comm device lost: /dev/pts/7: "
                                            "Input/output error - 8022");
        rig.console().state.log.AppendLogLine(line);
        rig.console().state.log.AppendLogLine(QStringLiteral("short"));
        QHelpEvent hoverLong(QEvent::ToolTip, log->rowRect(0).center(),
                             log->mapToGlobal(log->rowRect(0).center()));
        QCoreApplication::sendEvent(log, &hoverLong);
        QVERIFY(QToolTip::isVisible());
        QVERIFY2(QToolTip::text().contains(QStringLiteral("Input/output error - 8022")),
                 qPrintable(QToolTip::text()));
        QHelpEvent hoverShort(QEvent::ToolTip, log->rowRect(1).center(),
                              log->mapToGlobal(log->rowRect(1).center()));
        QCoreApplication::sendEvent(log, &hoverShort);
        QTRY_VERIFY(!QToolTip::isVisible());
    }

    void selectedRowIsWhollyInView_data()
    {
        QTest::addColumn<int>("height");
        for (int height : {60, 61, 67, 73, 102, 103, 110})
            QTest::newRow(qPrintable(QStringLiteral("%1 px").arg(height))) << height;
    }
    void selectedRowIsWhollyInView()
    {
        QFETCH(int, height);
        core::LineListModel lines;
        app::LineView view;
        view.setLines(&lines);
        view.resize(200, height);
        view.show();
        for (int i = 0; i < 40; ++i) {
            lines.append(QStringLiteral("line %1").arg(i));
            lines.selectLast();
            const QRect selected = view.rowRect(i);
            QVERIFY2(view.contentsRect().contains(selected),
                     qPrintable(QStringLiteral("row %1 at %2..%3").arg(i).arg(selected.top()).arg(selected.bottom())));
        }
        // Back to the top and down again by keys.
        lines.select(0);
        QVERIFY(view.contentsRect().contains(view.rowRect(0)));
        for (int i = 0; i < 39; ++i) {
            QTest::keyClick(&view, Qt::Key_Down);
            QVERIFY(view.contentsRect().contains(view.rowRect(lines.selectedRow())));
        }
        // A list made shorter keeps its selected row in view.
        view.resize(200, height / 2);
        QVERIFY(view.contentsRect().contains(view.rowRect(lines.selectedRow())));
    }

    void everyAppendedRowIsPainted()
    {
        // A stream of rows asks for one repaint until it is painted; every row appended after a
        // paint asks again, shown or hidden in between, and the list follows its newest row.
        struct PaintCount : QObject {
            int paints = 0;
            bool eventFilter(QObject *, QEvent *event) override
            {
                paints += event->type() == QEvent::Paint;
                return false;
            }
        } counter;
        core::LineListModel lines;
        app::LineView view;
        view.setLines(&lines);
        view.resize(200, 100);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        view.installEventFilter(&counter);
        for (int round = 0; round < 3; ++round) {
            const int before = counter.paints;
            for (int i = 0; i < 5; ++i) {   // as the action log grows: each new line selected
                lines.append(QStringLiteral("round %1 line %2").arg(round).arg(i));
                lines.selectLast();
            }
            QTRY_VERIFY(counter.paints > before);
        }
        view.hide();
        lines.append(QStringLiteral("while hidden"));
        lines.selectLast();
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        const int before = counter.paints;
        lines.append(QStringLiteral("shown again"));
        lines.selectLast();
        QTRY_VERIFY(counter.paints > before);
        QVERIFY(view.isRowInView(lines.count() - 1));
    }
};

QTEST_MAIN(ListAccessTest)
#include "tst_listaccessible.moc"
