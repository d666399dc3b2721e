#pragma once

#include <QPointer>
#include <QWidget>

#include <functional>

namespace kestrel::screens {

// Shows a screen that exists at most once: made on the first call, brought to the front on later
// ones. The screen deletes itself when closed, which empties the slot for the next call.
template <class Screen>
Screen *showOnce(QPointer<Screen> &slot, const std::function<Screen *()> &make)
{
    if (!slot)
        slot = make();
    slot->show();
    slot->raise();
    slot->activateWindow();
    return slot;
}

} // namespace kestrel::screens
