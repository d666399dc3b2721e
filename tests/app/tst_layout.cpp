#include "app/mainwindow.h"
#include "commands/commandtables.h"
#include "tests/support/fakeserialdevice.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

using namespace kestrel;

namespace {
struct Row
{
    const char *name, *kind, *container, *caption, *tooltip;
    int left, top, width, height;
    bool enabled;
};

// The window's controls as the console's design gives them (places in twips).
const Row kExpected[] = {
    {"List1", "kestrel::app::LineView", "frmKestrelClient", "", "", 120, 0, 4935, 3630, true},
    {"Command3", "QPushButton", "frmKestrelClient", "Clear", "Clear above log", 4200, 3360, 855, 375, true},
    {"fraDebugging", "QGroupBox", "frmKestrelClient", "Debugging Information", "", 120, 3720, 4935, 3495, true},
    {"cmdClearAll", "QPushButton", "frmKestrelClient", "Clear All", "Clear above logs", 240, 7320, 1695, 375, true},
    // Designed as "Total Money Received:"; the load step writes the total before the window shows.
    {"lblTotalReceived", "QLabel", "frmKestrelClient", "Money Received so far: $0.00", "", 2160, 7320, 2895, 375, true},
    {"lblSpecialInstruction", "QLabel", "frmKestrelClient", "Special Instructions:", "", 120, 7800, 4935, 375, true},
    {"TabStrip1", "kestrel::app::TabStrip", "frmKestrelClient", "", "", 5040, 0, 6015, 8175, true},
    {"lblActionLog", "QLabel", "fraDebugging", "Action Log", "", 120, 240, 4695, 375, true},
    {"lstActionLog", "kestrel::app::LineView", "fraDebugging", "", "", 120, 600, 4695, 1530, true},
    {"lblDebugging", "QLabel", "fraDebugging", "Comm Port Property Information", "", 120, 2160, 4695, 375, true},
    {"lstDebugging", "kestrel::app::LineView", "fraDebugging", "", "", 120, 2520, 2055, 900, true},
    {"lstDebuggingValue", "kestrel::app::LineView", "fraDebugging", "", "", 2160, 2520, 2655, 900, true},
    {"Frame2", "QGroupBox", "Pictab0", "CommPort Selection", "", 1200, 480, 1695, 2295, true},
    {"Option1", "QRadioButton", "Frame2", "Comm1", "Use Comm Port 1 for communication", 120, 240, 1095, 375, true},
    {"Option2", "QRadioButton", "Frame2", "Comm2", "Use Comm Port 2 for communication", 120, 555, 1095, 375, true},
    {"Option3", "QRadioButton", "Frame2", "Comm3", "Use Comm Port 3 for communication", 120, 870, 1095, 375, true},
    {"Option4", "QRadioButton", "Frame2", "Comm4", "Use Comm Port 4 for communication", 120, 1170, 1095, 375, true},
    {"Option5", "QRadioButton", "Frame2", "USB", "", 120, 1485, 975, 375, false},
    {"Option6", "QRadioButton", "Frame2", "802.11b", "", 120, 1800, 975, 375, true},
    {"Text1", "QLineEdit", "Pictab0", "Text1", "", 120, 7200, 1695, 495, false},
    {"TransHex", "QPushButton", "Pictab0", "Transmit Hex", "", 1920, 7200, 1695, 495, false},
    {"cmdExitSetup", "QPushButton", "Pictab0", "Exit", "Exit KESTREL", 4200, 7320, 1215, 375, true},
    {"BV_setup", "QPushButton", "Pictab1", "Setup", "Setup Bill Validator", 240, 360, 1695, 375, true},
    {"cmdResetVal", "QPushButton", "Pictab1", "Reset", "Reset Bill Validator", 2160, 360, 1695, 375, true},
    {"BV_id", "QPushButton", "Pictab1", "Identify", "Identify the Bill Validator", 240, 840, 1695, 375, true},
    {"cmdDTRtoggle", "QPushButton", "Pictab1", "Enable Escrow", "Enable/Disable Escrow", 2160, 840, 1695, 375, true},
    {"Stack_bill", "QPushButton", "Pictab1", "Stack Bill", "Stack Bill", 240, 1320, 1695, 375, true},
    {"cmdBillReturn", "QPushButton", "Pictab1", "Return Bill in escrow", "Return bill in escrow position", 2160, 1320, 1695, 375, true},
    {"cmdStacker", "QPushButton", "Pictab1", "Stacker Capacity Level", "Check the number of bills in the stacker", 240, 1800, 1695, 495, true},
    {"cmdBillPDF", "QPushButton", "Pictab1", "NAMA Bill Validator Specs", "View NAMA specs for Bill Validators", 2160, 1800, 1695, 495, true},
    {"Command1", "QPushButton", "Pictab1", "Enable bills", "", 240, 2400, 1695, 495, true},
    {"Command4", "QPushButton", "Pictab1", "Disable bills", "", 2160, 2400, 1695, 495, true},
    {"lblBill", "QLabel", "Pictab1", "Bill Totals ", "", 240, 5520, 2295, 375, true},
    {"lstBill", "kestrel::app::LineView", "Pictab1", "", "", 240, 5880, 1215, 1110, true},
    {"lstBillCount", "kestrel::app::LineView", "Pictab1", "", "", 1440, 5880, 1095, 1110, true},
    {"cmdClearBillTotals", "QPushButton", "Pictab1", "Clear", "Clear Bill Totals", 240, 7080, 1695, 375, true},
    {"cmdExitBillVal", "QPushButton", "Pictab1", "Exit", "Exit KESTREL", 4200, 7320, 1215, 375, true},
    {"EnableCashless", "QPushButton", "Pictab2", "Enable", "Enable Cashless Device", 240, 360, 1695, 375, true},
    {"cmdResetCashless", "QPushButton", "Pictab2", "Reset", "Reset Cashless Device", 2160, 360, 1695, 375, true},
    {"DisableCashless", "QPushButton", "Pictab2", "Disable", "Disable Cashless Device", 240, 840, 1695, 375, true},
    {"cmdRequestID", "QPushButton", "Pictab2", "Request ID", "Request ID", 2160, 840, 1695, 375, true},
    {"cmdReadercancel", "QPushButton", "Pictab2", "Cancel Reader", "Abort payment media activities", 240, 1320, 1695, 375, true},
    {"cmdVendRequest", "QPushButton", "Pictab2", "Request Vend", "Request Item Vend", 2160, 1320, 1695, 375, true},
    {"cmdRevalReq", "QPushButton", "Pictab2", "Request Revalue", "Revalue Request", 240, 1800, 1695, 375, true},
    {"Command13", "QPushButton", "Pictab2", "Session Complete", "", 2160, 1800, 1695, 375, true},
    {"Command9", "QPushButton", "Pictab2", "17 00", "", 240, 2280, 1695, 375, true},
    {"Command11", "QPushButton", "Pictab2", "Vend Approved", "", 2160, 2280, 1695, 375, true},
    {"Command8", "QPushButton", "Pictab2", "End session", "", 240, 2760, 1695, 375, true},
    {"Command14", "QPushButton", "Pictab2", "write to lcd", "", 2160, 2760, 1695, 375, true},
    {"Command10", "QPushButton", "Pictab2", "Begin Session", "", 240, 3240, 1695, 375, true},
    {"cmdCashlessPDF", "QPushButton", "Pictab2", "NAMA Cashless Device Specs", "View NAMA specs for Cashless devices", 2160, 3240, 2535, 375, true},
    {"Command12", "QPushButton", "Pictab2", "Vend Success", "", 240, 3720, 1695, 375, true},
    {"Command2", "QPushButton", "Pictab2", "Set-up 11 00 01 0F 02 01", "", 2160, 3720, 2535, 375, true},
    {"List2", "kestrel::app::LineView", "Pictab2", "", "", 240, 4800, 2055, 1110, true},
    {"cmdExitCashless", "QPushButton", "Pictab2", "Exit", "Exit KESTERL", 4200, 7320, 1215, 375, true},
    {"Setup", "QPushButton", "Pictab3", "Setup", "Setup coin changer", 240, 360, 1695, 375, true},
    {"cmdResetChanger", "QPushButton", "Pictab3", "Reset", "Reset coin changer", 2160, 360, 1695, 375, true},
    {"ID", "QPushButton", "Pictab3", "Identify", "Identify Changer", 240, 840, 1695, 375, true},
    {"cmdDispenseNickel", "QPushButton", "Pictab3", "Dispense Nickel", "Dispense Nickel from changer", 2160, 840, 1695, 375, true},
    {"Payout", "QPushButton", "Pictab3", "Payout Level2", "Run Payout Level test", 240, 1320, 1695, 375, true},
    {"cmdDispenseDime", "QPushButton", "Pictab3", "Dispense Dime", "Dispense Dime from changer", 2160, 1320, 1695, 375, true},
    {"cmdTubeStatus", "QPushButton", "Pictab3", "Tube Status", "Obtain Tube Status", 240, 1800, 1695, 375, true},
    {"cmdDispenseQuarter", "QPushButton", "Pictab3", "Dispense Quarter", "Dispense Quarter from changer", 2160, 1800, 1695, 375, true},
    {"enable_all_coin_types", "QPushButton", "Pictab3", "Enable All Coin Types", "Signifie coins accepted", 240, 2280, 1695, 375, true},
    {"disable_all_coin_types", "QPushButton", "Pictab3", "Disable All Coin Types", "Disable all coin types", 2160, 2280, 1695, 495, true},
    {"cmdCoinPDF", "QPushButton", "Pictab3", "NAMA Specs for Coin Changer", "Open NAMA Coin Changer PDF File", 240, 2760, 1695, 495, true},
    // Sends the enable-all frame, so its caption says so.
    {"Command5", "QPushButton", "Pictab3", "Enable All Coin Types", "", 2160, 2880, 1695, 495, true},
    {"lblCoin", "QLabel", "Pictab3", "Coin Totals", "", 240, 5520, 2295, 375, true},
    {"lstCoin", "kestrel::app::LineView", "Pictab3", "", "", 240, 5880, 1695, 1110, true},
    {"lstCoinCount", "kestrel::app::LineView", "Pictab3", "", "", 1920, 5880, 615, 1110, true},
    {"cmdClearCoinTotals", "QPushButton", "Pictab3", "Clear", "Clear Coin Totals", 240, 7080, 1695, 375, true},
    {"cmdExitChanger", "QPushButton", "Pictab3", "Exit", "Exit KESTREL", 4200, 7320, 1215, 375, true},
    {"lstUSBResults", "kestrel::app::LineView", "Pictab4", "", "", 600, 2160, 4335, 1740, true},
    {"ConnectHID", "QPushButton", "Pictab4", "Connect to HID", "", 600, 3960, 1335, 375, true},
    {"clearUSBResults", "QPushButton", "Pictab4", "Clear", "Clear above log", 2160, 3960, 1095, 375, true},
    {"cmdExitUSB", "QPushButton", "Pictab4", "Exit", "Exit KESTREL", 4200, 7320, 1215, 375, true},
    {"cmdShowLEDjump", "QPushButton", "Pictab5", "Show Tessard board layout", "View Tessard board layout", 240, 360, 1695, 615, true},
    {"cmdshowfrmConnector", "QPushButton", "Pictab5", "Show Tessard Connector Screen", "View Tessard connector screen", 240, 1080, 1695, 615, true},
    {"cmdShowQuillonLayout", "QPushButton", "Pictab5", "Show Quillon board layout", "View Quillon board layout", 240, 1800, 1695, 615, true},
    {"cmdShowQuillonConnectorScreen", "QPushButton", "Pictab5", "Show Quillon Connector Screen", "Show Quillon connector screen", 240, 2520, 1695, 615, true},
    {"VLMOnline", "QLabel", "Pictab5", "http://www.velmora.example", "Visit our website http://www.velmora.example by clicking here", 240, 3360, 2655, 375, true},
    {"cmdExitother", "QPushButton", "Pictab5", "Exit", "Exit KESTREL", 4200, 7320, 1215, 375, true},
};

QString captionOf(QWidget *w)
{
    if (auto *b = qobject_cast<QAbstractButton *>(w))
        return b->text();
    if (auto *l = qobject_cast<QLabel *>(w))
        return l->text();
    if (auto *g = qobject_cast<QGroupBox *>(w))
        return g->title();
    if (auto *e = qobject_cast<QLineEdit *>(w))
        return e->text();
    return {};
}
} // namespace

class LayoutTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    std::unique_ptr<link::PortMap> m_ports;
    std::unique_ptr<app::frmKestrel> m_window;

private slots:
    void initTestCase()
    {
        m_ports = std::make_unique<link::PortMap>([](const QString &name) {
            return std::make_unique<FakeSerialDevice>(name);
        });
        m_window = std::make_unique<app::frmKestrel>(*m_ports, m_dir.filePath("log.txt"));
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }
    void cleanupTestCase()
    {
        m_window.reset();
        m_ports.reset();
    }

    void everyControl_data()
    {
        QTest::addColumn<int>("row");
        for (int i = 0; i < int(std::size(kExpected)); ++i)
            QTest::newRow(kExpected[i].name) << i;
    }
    void everyControl()
    {
        QFETCH(int, row);
        const Row &e = kExpected[row];
        auto *w = m_window->findChild<QWidget *>(QString::fromLatin1(e.name));
        QVERIFY2(w, e.name);
        QVERIFY2(w->inherits(e.kind), w->metaObject()->className());
        QCOMPARE(w->parentWidget()->objectName(), QString::fromLatin1(e.container));
        if (!w->inherits("kestrel::app::LineView") && !w->inherits("kestrel::app::TabStrip"))
            QCOMPARE(captionOf(w), QString::fromLatin1(e.caption));
        QCOMPARE(w->toolTip(), QString::fromLatin1(e.tooltip));
        QCOMPARE(w->geometry(), QRect(e.left / 15, e.top / 15, e.width / 15, e.height / 15));
        // Panels of tabs not shown are disabled as a whole; the control's own state is asked here.
        QCOMPARE(!w->testAttribute(Qt::WA_ForceDisabled), e.enabled);
    }

    void noControlsBeyondTheDesign()
    {
        int named = 0;
        for (const Row &e : kExpected)
            named += m_window->findChildren<QWidget *>(QString::fromLatin1(e.name)).size();
        QCOMPARE(named, int(std::size(kExpected)));
    }

    void windowTabsAndPanels()
    {
        QCOMPARE(m_window->windowTitle(), QStringLiteral("KESTREL Interface "));
        QVERIFY(m_window->windowFlags() & Qt::Tool);
        QVERIFY(!(m_window->windowFlags() & Qt::WindowMinimizeButtonHint));
        QCOMPARE(m_window->centralWidget()->size(), QSize(734, 548));
        // The client area below the menu bar stands at 225, 795 twips.
        QCOMPARE(m_window->centralWidget()->mapToGlobal(QPoint(0, 0)), QPoint(15, 53));
        QCOMPARE(m_window->font().family(), QStringLiteral("Arial"));
        QCOMPARE(m_window->font().pointSizeF(), 8.25);

        QTabBar *tabs = m_window->TabStrip1()->tabBar();
        const QStringList captions{"Setup", "Bill Validator", "Cashless Device", "Coin Changer",
                                   "USB", "Other"};
        QCOMPARE(tabs->count(), 6);
        for (int i = 0; i < 6; ++i) {
            QCOMPARE(tabs->tabText(i), captions[i]);
            QVERIFY(m_window->Pictab(i));
        }
        QCOMPARE(m_window->Pictab(3)->toolTip(), QStringLiteral("Set Payout Level to 2"));
        QCOMPARE(m_window->Pictab(5)->toolTip(),
                 QStringLiteral("Visit our website http://www.velmora.example"));
        for (int i : {0, 1, 2, 4})
            QCOMPARE(m_window->Pictab(i)->toolTip(), QString());
    }

    void linkLabelLooksLikeALink()
    {
        auto *link = m_window->control<QLabel>("VLMOnline");
        QCOMPARE(link->font().pointSizeF(), 9.75);
        QVERIFY(link->font().italic());
        QVERIFY(link->font().underline());
        QCOMPARE(link->palette().color(QPalette::WindowText), QColor(0, 0, 192));
    }

    void menus()
    {
        const QList<QAction *> top = m_window->menuBar()->actions();
        QCOMPARE(top.size(), 2);
        QCOMPARE(top[0]->text(), QStringLiteral("&File"));
        QCOMPARE(top[1]->text(), QStringLiteral("&Help"));
        auto *exit = m_window->findChild<QAction *>("mnuFileExit");
        QCOMPARE(exit->text(), QStringLiteral("Exit"));
        QCOMPARE(exit->shortcut(), QKeySequence(QStringLiteral("Ctrl+X")));
        QStringList help;
        for (QAction *a : top[1]->menu()->actions())
            help << a->objectName() + '=' + a->text();
        QCOMPARE(help, QStringList({"mnuVLMOnline=VLM Online", "mnuhelpabout=About", "mnuOrder=Order"}));
    }

    // The window is wired by name from several tables; each name must be a control of the layout
    // table of the kind the wiring expects (the window stops at start-up when one is not).
    void everyWiredNameIsAControlOfItsKind()
    {
        using namespace app::layout;
        const auto kindOf = [](const char *name) -> int {
            for (const Control &c : kControls)
                if (qstrcmp(c.name, name) == 0)
                    return int(c.kind);
            return -1;
        };
        const int button = int(app::layout::Kind::Button);
        QStringList wrong;
        const auto expect = [&](const char *name, int kind) {
            if (kindOf(name) != kind)
                wrong << QString::fromLatin1(name);
        };
        for (const auto *table : {&commands::kCoinChanger, &commands::kBillValidator, &commands::kCashless})
            for (const commands::CommandRow &row : *table)
                expect(row.control, button);
        expect(commands::kEscrowToggle, button);
        for (const app::PdfButton &pdf : app::kPdfButtons)
            expect(pdf.control, button);
        for (const ExitButton &exit : kExits)
            expect(exit.control, button);
        for (const ScreenButton &screen : kScreenButtons)
            expect(screen.control, button);
        for (const ListName &list : kListNames) {
            expect(list.list, int(Kind::List));
            QVERIFY(m_window->console().list(QString::fromLatin1(list.list)));
        }
        for (const Panel &panel : kPanels)
            QVERIFY(m_window->Pictab(int(&panel - kPanels.begin())));
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(", ")));
        // Every list of the layout has an accessible name, and the console holds its rows.
        for (const Control &c : kControls)
            if (c.kind == Kind::List)
                QVERIFY2(std::any_of(kListNames.begin(), kListNames.end(),
                                     [&](const ListName &n) { return qstrcmp(n.list, c.name) == 0; }),
                         c.name);
        QCOMPARE(int(app::layout::kExits.size()), int(app::layout::kPanels.size()));   // an Exit button on every panel
    }

    void clearButtonEmptiesTheRawReplies()
    {
        console::Console &console = m_window->console();
        console.state.List1.append("08 50 06");
        console.state.lstActionLog.append("kept");
        m_window->control<QPushButton>("Command3")->click();
        QCOMPARE(console.state.List1.count(), 0);
        QCOMPARE(console.state.lstActionLog.count(), 1);
        m_window->control<QPushButton>("Command3")->click();   // empty already: nothing happens
        QCOMPARE(console.state.List1.count(), 0);
    }
};

QTEST_MAIN(LayoutTest)
#include "tst_layout.moc"
