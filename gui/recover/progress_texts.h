#pragma once
// The lines of the recovery progress window, with their placeholders filled.
// Numbers come wrapped in "<a>…</a>", which the skinned label draws bold.
#include <QString>

#include <cstdint>

class TLanUse;

namespace gui {

// "Recovering the selected <a>N</a> files" and one to three dots, by `dotStep`.
QString RecoveringText(const TLanUse& language, uint32_t files, uint32_t dotStep);
// "<a>N</a> files recovered".
QString RecoveredText(const TLanUse& language, uint32_t recovered);
// "<a>N</a> files failed to be recovered."
QString FailedText(const TLanUse& language, uint32_t failed);
// The percentage before the first refresh ("0 %").
QString StartPercentText(const TLanUse& language);

} // namespace gui
