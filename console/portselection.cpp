#include "console/portselection.h"

namespace kestrel {

void selectPort(CommControl &comInterface, int port, ActionLog &log,
                const std::function<void()> &disableOption)
{
    const QString message = QStringLiteral("Error opening comm %1, ").arg(port);
    Trap trap([&](const Failure &failure) {
        log.list().append(errorLine(message, failure));
        if (disableOption)
            disableOption();
        log.list().selectLast();
    });
    trap([&] { comInterface.setPortOpen(false); });
    trap([&] { comInterface.setCommPort(port); });
    trap([&] { comInterface.setPortOpen(true); });
}

} // namespace kestrel
