#pragma once
// The lines of the recovery progress window, with their placeholders filled.
// Numbers come wrapped in "<a>…</a>", which the skinned label draws bold.
#include <QString>

#include <cstdint>
#include <string>

class TLanUse;

namespace gui {

// "Recovering the selected <a>N</a> files" and one to three dots, by `dotStep`.
QString RecoveringText(const TLanUse& language, uint32_t files, uint32_t dotStep);
// "<a>N</a> files recovered"; with `damaged` of them zero-filled where
// their sectors could not be read, "<a>N</a> files recovered, <a>D</a> with unreadable parts".
QString RecoveredText(const TLanUse& language, uint32_t recovered, uint32_t damaged = 0);
// "<a>N</a> files failed to be recovered."
QString FailedText(const TLanUse& language, uint32_t failed);
// "The recovery ended on an error: REASON." for a job that ended on an
// error, with the worker's reason in the user's language where it is one
// of the program's own.
QString JobErrorText(const TLanUse& language, const std::string& reason);
// The percentage before the first refresh ("0 %").
QString StartPercentText(const TLanUse& language);

} // namespace gui
