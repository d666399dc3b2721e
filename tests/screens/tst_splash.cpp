#include "screens/splash.h"

#include <QLabel>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>

using namespace kestrel;

class SplashTest : public QObject
{
    Q_OBJECT
    QPointer<screens::frmSplash> m_splash;

    screens::frmSplash *showSplash()
    {
        m_splash = new screens::frmSplash;
        m_splash->show();
        m_splash->activateWindow();
        if (!QTest::qWaitForWindowExposed(m_splash.data()))
            return nullptr;
        return m_splash;
    }
    static void settle() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

private slots:
    void cleanup() { delete m_splash; }

    void showsTitleVersionAndMaker()
    {
        screens::frmSplash *splash = showSplash();
        QVERIFY(splash);
        QVERIFY(splash->windowFlags() & Qt::FramelessWindowHint);
        QCOMPARE(splash->geometry(), QRect(157, 211, 509, 274));
        auto label = [&](const char *name) { return splash->findChild<QLabel *>(name); };
        QCOMPARE(label("lblVersion")->text(), QStringLiteral("Version 3.0.1"));
        QCOMPARE(label("lblProductName")->text(), QStringLiteral("Kestrel V 3.0"));
        QCOMPARE(label("lblCompanyProduct")->text(), QStringLiteral("The Brindle companion software:"));
        QCOMPARE(label("lblPlatform")->text(), QStringLiteral("Windows 2000/XP/2003"));
        QCOMPARE(label("lblCompany")->text(), QStringLiteral("Velmora Inc"));
        QVERIFY(label("lblCopyright")->text().contains(QStringLiteral("2004-2026")));
        QVERIFY(label("lblWarning")->text().contains(QStringLiteral("Velmora Inc")));
        // The version label widens to its run-time text, flush right with the platform line.
        QCOMPARE(label("lblVersion")->geometry().right(), 456);
        QCOMPARE(label("lblPlatform")->geometry().right(), 456);
        QVERIFY(label("lblVersion")->width()
                >= label("lblVersion")->fontMetrics().horizontalAdvance("Version 3.0.1"));
        QCOMPARE(label("lblProductName")->font().pointSizeF(), 32.25);
        QVERIFY(label("lblProductName")->font().bold());
        QVERIFY(label("lblCompanyProduct")->font().italic());
    }

    void closesItselfAfter750ms()
    {
        screens::frmSplash *splash = showSplash();
        QVERIFY(splash);
        QSignalSpy dismissed(splash, &screens::frmSplash::dismissed);
        QTest::qWait(300);
        QCOMPARE(dismissed.count(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(dismissed.count(), 1, 3000);
        settle();
        QVERIFY(!m_splash);
    }

    void characterKeysClose_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("closes");
        QTest::newRow("letter") << int(Qt::Key_A) << "a" << true;
        QTest::newRow("digit") << int(Qt::Key_5) << "5" << true;
        QTest::newRow("space") << int(Qt::Key_Space) << " " << true;
        QTest::newRow("enter") << int(Qt::Key_Return) << "\r" << true;
        QTest::newRow("escape") << int(Qt::Key_Escape) << "\x1b" << true;
        QTest::newRow("backspace") << int(Qt::Key_Backspace) << "\b" << true;
        QTest::newRow("arrow") << int(Qt::Key_Left) << "" << false;
        QTest::newRow("function key") << int(Qt::Key_F5) << "" << false;
        QTest::newRow("shift") << int(Qt::Key_Shift) << "" << false;
        // The X server reports Delete with the DEL character; it is no character key all the same.
        QTest::newRow("delete") << int(Qt::Key_Delete) << "\x7f" << false;
    }
    void characterKeysClose()
    {
        QFETCH(int, key);
        QFETCH(QString, text);
        QFETCH(bool, closes);
        screens::frmSplash *splash = showSplash();
        QVERIFY(splash);
        QSignalSpy dismissed(splash, &screens::frmSplash::dismissed);
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
        QCoreApplication::sendEvent(splash, &press);
        QCOMPARE(dismissed.count(), closes ? 1 : 0);
    }

    void clickOnTheFrameClosesButNotOnItsLabels()
    {
        screens::frmSplash *splash = showSplash();
        QVERIFY(splash);
        QSignalSpy dismissed(splash, &screens::frmSplash::dismissed);
        for (const char *name : {"lblProductName", "lblVersion", "imgLogo"}) {
            QTest::mouseClick(splash->findChild<QWidget *>(name), Qt::LeftButton);
            QCOMPARE(dismissed.count(), 0);
        }
        QTest::mouseClick(splash, Qt::LeftButton, {}, QPoint(3, 100));   // the margin
        QCOMPARE(dismissed.count(), 0);
        QTest::mouseClick(splash->findChild<QWidget *>("Frame1"), Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(dismissed.count(), 1);
        QTest::mouseClick(splash->findChild<QWidget *>("Frame1"), Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(dismissed.count(), 1);   // closed once only
    }
};

QTEST_MAIN(SplashTest)
#include "tst_splash.moc"
