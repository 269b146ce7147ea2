#include "gui/app/trace.h"

Q_LOGGING_CATEGORY(dunroGui, "dunro.gui", QtWarningMsg)
