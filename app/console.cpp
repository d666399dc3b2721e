#include "app/console.h"

#include "decode/pairedlists.h"

namespace kestrel {

Console::Console(PortMap &ports, QObject *parent)
    : QObject(parent), comInterface(ports)
{
    connect(&comInterface, &CommControl::OnComm, this, [this] { events.OnComm(); });
    // A device that goes away while open (a USB adapter pulled) is reported like any failure of
    // the serial handler; the port is closed and the operator can pick it again.
    connect(&comInterface, &CommControl::deviceLost, this,
            [this](int number, const QString &description) {
                Trap()([&] {
                    log.appendQuietly(errorLine(CommEventHandler::kErrorMessage,
                                                Failure(number, description)));
                });
            });
    alignPair(lstCoin, lstCoinCount);
    alignPair(lstBill, lstBillCount);
    alignPair(lstDebugging, lstDebuggingValue);
}

LineListModel *Console::list(const QString &name)
{
    LineListModel *const lists[] = {&List1, &lstActionLog, &lstDebugging, &lstDebuggingValue,
                                    &lstCoin, &lstCoinCount, &lstBill, &lstBillCount,
                                    &lstUSBResults, &List2};
    static const char *const names[] = {"List1", "lstActionLog", "lstDebugging",
                                        "lstDebuggingValue", "lstCoin", "lstCoinCount",
                                        "lstBill", "lstBillCount", "lstUSBResults", "List2"};
    for (int i = 0; i < int(std::size(names)); ++i)
        if (name == QLatin1String(names[i]))
            return lists[i];
    return nullptr;
}

} // namespace kestrel
