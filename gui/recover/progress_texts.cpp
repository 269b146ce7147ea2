#include "gui/recover/progress_texts.h"

#include "gui/common/texts.h"

namespace gui {
namespace {

// "%s" becomes the number as a marked run; the text's own blank after the
// placeholder separates it from the word, else one is put in.
QString FillCount(QString text, uint32_t count) {
    const QString number = QStringLiteral("<a>%1</a>").arg(count);
    for (qsizetype at = text.indexOf(QLatin1String("%s"), 0, Qt::CaseInsensitive); at >= 0;
         at = text.indexOf(QLatin1String("%s"), at, Qt::CaseInsensitive)) {
        const bool blankFollows = at + 2 < text.size() && text.at(at + 2).isSpace();
        const QString filled = blankFollows ? number : number + QLatin1Char(' ');
        text.replace(at, 2, filled);
        at += filled.size();
    }
    return text;
}

} // namespace

QString RecoveringText(const TLanUse& language, uint32_t files, uint32_t dotStep) {
    QString text = Tr(language, "M_NewRecoverying", "Recovering the selected <a>%d</a> %s");
    text.replace(QLatin1String("%d"), QString::number(files), Qt::CaseInsensitive);
    text.replace(QLatin1String("%s"), files < 2 ? Tr(language, "M_File", "file") : Tr(language, "M_Files", "files"),
                 Qt::CaseInsensitive);
    return text + QString(static_cast<qsizetype>(dotStep % 3 + 1), QLatin1Char('.'));
}

QString RecoveredText(const TLanUse& language, uint32_t recovered, uint32_t damaged) {
    // Nothing recovered is a count too: "0 files recovered", never a bare placeholder.
    if (damaged == 0)
        return FillCount(Tr(language, "M_RecoverySuccess", "%s files recovered"), recovered);
    QString text = Tr(language, "M_RecoverySuccessDamaged", "%s files recovered, %d with unreadable parts");
    text.replace(QLatin1String("%d"), QStringLiteral("<a>%1</a>").arg(damaged), Qt::CaseInsensitive);
    return FillCount(text, recovered);
}

QString FailedText(const TLanUse& language, uint32_t failed) {
    return FillCount(Tr(language, "M_RecoveryFail", "%s files failed to be recovered."), failed);
}

QString JobErrorText(const TLanUse& language, const std::string& reason) {
    // The reasons a job boundary gives for an exception (JobThread::ReasonOf).
    struct Known {
        const char* reason;
        const char* key;
    };
    static constexpr Known kKnown[] = {
        {"memory ran out", "M_ErrorNoMemory"},
        {"a size too large for memory was asked for", "M_ErrorTooLarge"},
        {"an unknown error", "M_ErrorUnknown"},
    };
    QString shown = FromUtf8(reason);
    for (const Known& known : kKnown)
        if (reason == known.reason)
            shown = Tr(language, known.key, known.reason);
    // The reason is shown as it is, never as the label's marks.
    shown.replace(QLatin1Char('<'), QChar(0x2039)).replace(QLatin1Char('>'), QChar(0x203A));
    QString text = Tr(language, "M_RecoveryError", "The recovery ended on an error: %s.");
    text.replace(QLatin1String("%s"), shown, Qt::CaseInsensitive);
    return text;
}

QString StartPercentText(const TLanUse& language) {
    QString text = Tr(language, "M_ProgressNum", "%d %%");
    text.replace(QLatin1String("%d"), QStringLiteral("0"), Qt::CaseInsensitive);
    text.replace(QLatin1String("%%"), QLatin1String("%"));
    return text;
}

} // namespace gui
