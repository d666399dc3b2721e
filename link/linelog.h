#pragma once

#include <QLoggingCategory>

// Diagnostics of the serial link (QT_LOGGING_RULES="kestrel.link.debug=true"): what the devices
// report that the console does not show, such as a read error that proved to be no loss.
Q_DECLARE_LOGGING_CATEGORY(lcLink)
