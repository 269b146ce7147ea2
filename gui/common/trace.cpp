#include "gui/common/trace.h"

Q_LOGGING_CATEGORY(dunroGui, "dunro.gui", QtWarningMsg)
