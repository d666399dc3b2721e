#include "console/escrowtoggle.h"
#include "tests/support/consolerig.h"

#include <QTest>

using namespace kestrel;
using namespace kestrel::test;

namespace {
// A button caption that refuses to change.
struct StuckCaption : core::Caption
{
    QString shown = QStringLiteral("Enable Escrow");
    QString text() const override { return shown; }
    void setText(const QString &) override { throw core::Failure(380, "Invalid property value"); }
};
} // namespace

class EscrowToggleTest : public QObject
{
    Q_OBJECT
private slots:
    void captionFailureLeavesTheCaptionSoTheNextPressRepeats()
    {
        ConsoleRig rig;
        console::SendRoutine send(rig.pendingFrames, rig.com, rig.log);
        StuckCaption caption;
        console::EscrowToggle toggle(send, caption);
        toggle.press();
        QCOMPARE(rig.logLines(), QStringList({"Escrow Enabled",
            "Error enabling/disabling escrow, Invalid property value - 380"}));
        QCOMPARE(rig.actionLog.selectedRow(), 1);
        toggle.press();
        QCOMPARE(rig.logLines().at(2), QStringLiteral("Escrow Enabled"));
        rig.device().changeCts();
        deliverEvents();
        QCOMPARE(rig.device().written(), QByteArray("\x34\x00\x1f\x00\x01", 5));
    }

    void onlyTheExactCaptionMeansEscrowIsOff()
    {
        ConsoleRig rig;
        console::SendRoutine send(rig.pendingFrames, rig.com, rig.log);
        core::TextCaption caption(QStringLiteral("enable escrow"));
        console::EscrowToggle toggle(send, caption);
        toggle.press();
        QCOMPARE(rig.logLines(), QStringList{"Escrow Disabled"});
        QCOMPARE(caption.text(), QStringLiteral("Enable Escrow"));
    }

    void captionChangesOnlyOnceTheFrameIsQueued()
    {
        ConsoleRig rig;
        console::SendRoutine send(rig.pendingFrames, rig.com, rig.log);
        core::TextCaption caption(QStringLiteral("Enable Escrow"));
        console::EscrowToggle toggle(send, caption);
        QStringList order;
        QObject::connect(&caption, &core::TextCaption::changed, [&] { order << "caption" << rig.logLines(); });
        toggle.press();
        QCOMPARE(order, QStringList({"caption", "Escrow Enabled"}));

        // A frame whose DTR cannot be raised is not sent, so the caption stays with the escrow
        // state the validator was last sent.
        order.clear();
        rig.device().failOn(FakeSerialDevice::Op::SetDtr, core::Failure(8019, "no DTR"), 1);
        toggle.press();
        QVERIFY(order.isEmpty());
        QCOMPARE(caption.text(), QStringLiteral("Disable Escrow"));
        QCOMPARE(rig.logLines().mid(1), QStringList({
            "Error enabling/disabling escrow, no DTR - 8019", "Escrow Disabled"}));
    }
};

QTEST_GUILESS_MAIN(EscrowToggleTest)
#include "tst_escrowtoggle.moc"
