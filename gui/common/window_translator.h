#pragma once
// Rewrites the captions and hints of one window's controls from its section
// of the loaded language file: section "<prefix>_<window name>", keys
// "<control name>.Caption", ".Hint" and ".Items[i].Caption"; whatever a key
// does not name keeps its current text.
class QWidget;
class TLanguage;

namespace gui {
void TranslateWindow(QWidget& window, const TLanguage& language);
}
