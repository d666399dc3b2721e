#include "console/portselection.h"

namespace kestrel::console {

void selectPort(link::CommControl &comInterface, int port, core::ActionLog &log,
                const std::function<void()> &disableOption)
{
    const QString message = QStringLiteral("Error opening comm %1, ").arg(port);
    core::Trap trap([&](const core::Failure &failure) {
        log.list().append(errorLine(message, failure));
        if (disableOption)
            disableOption();
        log.list().selectLast();
    });
    trap([&] { comInterface.setPortOpen(false); });
    trap([&] { comInterface.setCommPort(port); });
    trap([&] { comInterface.setPortOpen(true); });
}

} // namespace kestrel::console
