#include "console/escrowtoggle.h"

namespace kestrel::console {

void EscrowToggle::press()
{
    const QString errorMessage = QString::fromLatin1(commands::kEscrowError);
    core::Trap trap = m_send.log().trap(errorMessage);
    // A caption that cannot be read counts as "Enable Escrow".
    bool off = true;
    trap([&] { off = m_caption.text() == QLatin1String(commands::kEscrowOn.caption); });
    const commands::EscrowBranch &branch = off ? commands::kEscrowOn : commands::kEscrowOff;
    // The caption follows what goes out: a frame that was not queued leaves it as it was.
    if (m_send.queueSteps(trap, branch.frame.toBytes(), QString::fromLatin1(branch.logLine), errorMessage))
        trap([&] { m_caption.setText(QString::fromLatin1(branch.nextCaption)); });
}

void press(SendRoutine &send, const commands::CommandRow &row)
{
    send.QueueCommandFrame(row.frame.toBytes(), QString::fromLatin1(row.logLine),
                           QString::fromLatin1(row.errorMessage));
}

} // namespace kestrel::console
