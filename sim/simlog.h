#pragma once

#include <QLoggingCategory>

// Diagnostics of the virtual board (QT_LOGGING_RULES="kestrel.sim.debug=true"): every frame it
// takes and every reply it puts on the line.
Q_DECLARE_LOGGING_CATEGORY(lcSim)
