#include "gui/app/prompt_texts.h"

#include "gui/common/texts.h"

namespace gui {

namespace {
// The image's name, marked as the boxes mark names.
QString NamingImage(QString text, const PromptFacts& facts) {
    text.replace(QLatin1String("%s"), QStringLiteral("<a>%1</a>").arg(FromUtf8(facts.refusedImage)),
                 Qt::CaseInsensitive);
    return text;
}
} // namespace

QString NoticeText(const TLanUse& language, Notice kind, const PromptFacts& facts) {
    switch (kind) {
    case Notice::NoTypeChosen:
        return Tr(language, "M_ScanNeedType", "You must select at least one file type to continue.");
    case Notice::NoPlaceChosen:
        return Tr(language, "M_ScanNeedLocat", "You must select at least one item to continue.");
    case Notice::NothingFound:
        return Tr(language, "M_ScanNoResult", "No deleted files found.");
    case Notice::NothingChecked:
        return Tr(language, "M_RecoNeedFile", "Please select at least one file to continue the recovery.");
    case Notice::FolderMissing:
        return Tr(language, "M_RecoNeedLocat", "The directory does not exist. Please choose a valid directory.");
    case Notice::NoRoom: {
        QString text = Tr(language, "M_RecoDiskPoor_",
                          "The selected drive does not have %d1 free space to store the recovered %d2. Please "
                          "choose another one to continue the recovery.");
        const QString files = facts.jobFiles < 2 ? Tr(language, "M_File", "file") : Tr(language, "M_Files", "files");
        text.replace(QLatin1String("%d1"), FromUtf8(facts.jobSize), Qt::CaseInsensitive);
        text.replace(QLatin1String("%d2"), files, Qt::CaseInsensitive);
        return text;
    }
    case Notice::ReadOnlyFolder: {
        QString text = Tr(language, "M_RecoLocatReadOnly",
                          "%s cannot be recovered to a read-only removable disk. Please choose another one to "
                          "continue the recovery.");
        const QString files = facts.jobFiles < 2 ? Tr(language, "M_File_B", "File") : Tr(language, "M_Files_B", "Files");
        // A format argument: the first "%s" takes it.
        if (const qsizetype at = text.indexOf(QLatin1String("%s")); at >= 0)
            text.replace(at, 2, files);
        return text;
    }
    case Notice::ImageNoVolume:
        return NamingImage(
            Tr(language, "M_ImageNoVolume", "%s holds no NTFS, FAT or exFAT volume, so it cannot be scanned."), facts);
    case Notice::ImageUnreadable:
        return NamingImage(Tr(language, "M_ImageUnreadable",
                              "%s cannot be read. Check that the file exists and that you may read it."),
                           facts);
    case Notice::ImageNothingFound: {
        // Nothing found is said only of a search that read every place it looked at.
        if (!facts.searchFailure.empty())
            return NamingImage(Tr(language, "M_ImageSearchFailed", "The search of %s ended on an error: %r")
                                   .replace(QLatin1String("%r"), FromUtf8(facts.searchFailure)),
                               facts);
        if (facts.searchUnreadable)
            return NamingImage(Tr(language, "M_ImageSearchUnread",
                                  "No volume was found on %s, but %n of the places where one may start could not be read.")
                                   .replace(QLatin1String("%n"), QString::number(facts.searchUnreadable)),
                               facts);
        return NamingImage(Tr(language, "M_ImageNothingFound", "No volume was found on %s."), facts);
    }
    case Notice::ScanUnreadable:
        return FromUtf8(facts.scanDamage);
    default:
        return {};
    }
}

QString QuestionText(const TLanUse& language, Question kind, const PromptFacts& facts) {
    switch (kind) {
    case Question::RecoverOntoSource:
        return Tr(language, "M_AskOriginalDisk",
                  "Are you sure to recover the files to the original drive? (It may overwrite the original data "
                  "and reduce the chance of a successful recovery.)");
    case Question::StopRecovery: {
        QString text = Tr(language, "M_AskRecoStop",
                          "%d files may not be recovered. Are you sure you want to stop the recovery?");
        // The files not yet finished, the one in progress included.
        const qint64 left = qint64(facts.recoverFiles) - qint64(facts.recoverAttempted) + 1;
        text.replace(QLatin1String("%d"), QString::number(left), Qt::CaseInsensitive);
        return text;
    }
    case Question::ExitDuringScan:
        return Tr(language, "M_AskExitInScaning", "Scanning is in progress. Are you sure you want to exit the program?");
    case Question::ExitLeavingResults:
    case Question::BackLeavingResults:
        return Tr(language, "M_CloseApp", "Current scan results won't be saved if you leave now? Continue?");
    case Question::SearchWholeImage:
        return NamingImage(Tr(language, "M_AskSearchImage",
                              "%s holds no NTFS, FAT or exFAT volume where volumes usually start. Search the whole "
                              "image for lost volumes? It is read from end to end."),
                           facts);
    case Question::DeepScanWholeImage: {
        // After a search of the whole image, what it found (or could not read) comes first.
        const QString found = facts.imageSearched
                                  ? NoticeText(language, Notice::ImageNothingFound, facts)
                                  : NamingImage(Tr(language, "M_ImageNoReadableVolume",
                                                   "No NTFS, FAT or exFAT volume on %s can be read."),
                                                facts);
        return found + QLatin1Char(' ') +
               Tr(language, "M_AskDeepScanImage",
                  "Search the whole image by file content? Files found that way have no names or folders of their "
                  "own.");
    }
    case Question::RestartAsAdministrator:
        return Tr(language, "M_AskRestartAdmin",
                  "Reading raw drives needs administrator rights. Start the program again as administrator? Windows "
                  "will ask you to allow it.");
    default:
        return {};
    }
}

} // namespace gui
