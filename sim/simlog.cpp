#include "sim/simlog.h"

Q_LOGGING_CATEGORY(lcSim, "kestrel.sim", QtWarningMsg)
