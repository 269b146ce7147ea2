#pragma once
// Trace lines of the windows, off unless asked for with the logging rule
// "dunro.gui.debug=true" (QT_LOGGING_RULES); they go to the debug output.
#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(dunroGui)
