#include "app/console.h"

#include "link/commerrors.h"

namespace kestrel {

Console::Console(PortMap &ports, const QString &logPath, QObject *parent)
    : QObject(parent), SerialControlHolder(ports), ReceiveChain(comInterface, logPath)
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
    // Frames still waiting when the port closes (picked again, another picked, gone away, the
    // program ending) are never sent: each gets its button's error line.
    connect(&comInterface, &CommControl::portClosed, this,
            [this] { MDB_output_string.dropAll(commerrors::closedBeforeSent()); });
}

LineListModel *Console::list(const QString &name)
{
    static constexpr struct
    {
        const char *name;
        LineListModel Console::*list;
    } kLists[] = {
        {"List1", &Console::List1},
        {"lstActionLog", &Console::lstActionLog},
        {"lstDebugging", &Console::lstDebugging},
        {"lstDebuggingValue", &Console::lstDebuggingValue},
        {"lstCoin", &Console::lstCoin},
        {"lstCoinCount", &Console::lstCoinCount},
        {"lstBill", &Console::lstBill},
        {"lstBillCount", &Console::lstBillCount},
        {"lstUSBResults", &Console::lstUSBResults},
        {"List2", &Console::List2},
    };
    for (const auto &entry : kLists)
        if (name == QLatin1String(entry.name))
            return &(this->*entry.list);
    return nullptr;
}

} // namespace kestrel
