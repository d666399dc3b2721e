#include "console/console.h"

#include "link/commerrors.h"

namespace kestrel::console {

Console::Console(link::PortMap &ports, Settings settings, QObject *parent)
    : QObject(parent)
    , comInterface(ports)
    , logFile(settings.logPath, std::move(settings.clock))
    , receivePath(comInterface, state, tallies, recogniser, logFile, settings.pauseIterations)
    , events(comInterface, pendingFrames, state.log, receivePath, settings.pauseIterations)
{
    receivePath.setReplyWatcher([this](const QString &text, bool ended) { emit replyRead(text, ended); });
    connect(&comInterface, &link::CommControl::OnComm, this, [this](int event) {
        events.OnComm(event);
        emit eventHandled();
    });
    // A device that goes away while open (a USB adapter pulled) is reported like any failure of
    // the serial handler; the port is closed and the operator can pick it again.
    connect(&comInterface, &link::CommControl::deviceLost, this,
            [this](int number, const QString &description) {
                core::Trap()([&] {
                    state.log.appendQuietly(errorLine(CommEventHandler::kErrorMessage,
                                                      core::Failure(number, description)));
                });
            });
    // Frames still waiting when the port closes (picked again, another picked, gone away, the
    // program ending) are never sent: each gets its button's error line.
    connect(&comInterface, &link::CommControl::portClosed, this,
            [this] { pendingFrames.dropAll(link::commerrors::closedBeforeSent()); });
}

void Console::startUp(core::Trap &trap)
{
    trap([&] { tallies.UpdateTotalRecived(); });
    trap([&] { tallies.InitializeCount(); });
    trap([&] { state.TotalReceived.reset(); });
    trap([&] { comInterface.setDTREnable(false); });
}

core::LineListModel *Console::list(const QString &name)
{
    using Of = core::LineListModel &(*)(Console &);
    static constexpr struct
    {
        const char *name;
        Of of;
    } kLists[] = {
        {"List1", [](Console &c) -> core::LineListModel & { return c.state.List1; }},
        {"lstActionLog", [](Console &c) -> core::LineListModel & { return c.state.lstActionLog; }},
        {"lstDebugging", [](Console &c) -> core::LineListModel & { return c.state.lstDebugging; }},
        {"lstDebuggingValue", [](Console &c) -> core::LineListModel & { return c.state.lstDebuggingValue; }},
        {"lstCoin", [](Console &c) -> core::LineListModel & { return c.state.lstCoin; }},
        {"lstCoinCount", [](Console &c) -> core::LineListModel & { return c.state.lstCoinCount; }},
        {"lstBill", [](Console &c) -> core::LineListModel & { return c.state.lstBill; }},
        {"lstBillCount", [](Console &c) -> core::LineListModel & { return c.state.lstBillCount; }},
        {"lstUSBResults", [](Console &c) -> core::LineListModel & { return c.lstUSBResults; }},
        {"List2", [](Console &c) -> core::LineListModel & { return c.List2; }},
    };
    for (const auto &entry : kLists)
        if (name == QLatin1String(entry.name))
            return &entry.of(*this);
    return nullptr;
}

} // namespace kestrel::console
