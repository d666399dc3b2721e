#include "session/exitcommand.h"

namespace kestrel::session {

void runExit(OnExitFailure onFailure, link::CommControl &comInterface, core::ActionLog &log,
             const std::function<void()> &unloadWindow, const std::function<void()> &endProgram)
{
    const QString message = QStringLiteral("Error In Exit Command Click Routine, ");
    bool ending = false;
    core::Trap trap(
        [&](const core::Failure &failure) {
            switch (onFailure) {
            case OnExitFailure::Continue:
                log.LogHandlerError(message, failure);
                break;
            case OnExitFailure::End:
                log.appendQuietly(errorLine(message, failure));
                ending = true;
                break;
            case OnExitFailure::Stop:
                log.appendQuietly(errorLine(message, failure));
                break;
            case OnExitFailure::Ignore:
                break;
            }
        },
        onFailure == OnExitFailure::Continue || onFailure == OnExitFailure::Ignore
            ? core::Trap::After::NextStep
            : core::Trap::After::Stop);

    // When reading PortOpen fails, the close is attempted all the same.
    bool open = true;
    trap([&] { open = comInterface.PortOpen(); });
    if (open)
        trap([&] { comInterface.setPortOpen(false); });
    if (ending) {
        endProgram();
        return;
    }
    trap([&] { unloadWindow(); });
}

} // namespace kestrel::session
