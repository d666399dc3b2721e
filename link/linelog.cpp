#include "link/linelog.h"

Q_LOGGING_CATEGORY(lcLink, "kestrel.link", QtWarningMsg)
