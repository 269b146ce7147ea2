#include "scan/source_offer.h"

namespace scan {

bool SearchableByContent(SourceVerdict verdict) {
    switch (verdict) {
    case SourceVerdict::Unreadable:
    case SourceVerdict::OtherFileSystem:
        return true;
    case SourceVerdict::Usable:
    case SourceVerdict::Missing:
    case SourceVerdict::NotAVolume:
    case SourceVerdict::NeedsRights:
    case SourceVerdict::CannotOpen:
        break;
    }
    return false;
}

SourceOffer OfferFor(SourceVerdict verdict, bool searchedWhole) {
    if (!SearchableByContent(verdict))
        return SourceOffer::None;
    // A first sector that cannot be read, or a FAT12/16 boot sector that does
    // not decode, is a volume's own damage: another place to start from does
    // not mend it, reading by content does.
    if (verdict == SourceVerdict::Unreadable || searchedWhole)
        return SourceOffer::DeepScan;
    return SourceOffer::SearchWholeImage;
}

} // namespace scan
