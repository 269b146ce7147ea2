#include "gui/common/texts.h"

#include "shell/language.h"

namespace gui {

QString Tr(const TLanUse& language, const char* key, const char* english) { return FromUtf8(language.Message(key, english)); }

} // namespace gui
