#include "scan/scan_selection.h"

#include <cstdio>

#include "volume/text.h"

using volume::ContainsIgnoreCase;
using volume::EqualsIgnoreCase;
using volume::StartsWithIgnoreCase;

namespace {
const char kImageFiles[] = "*.bmp|*.png|*.gif|*.jpg|*.jpeg|*.ico|*.tif|*.tiff|*.dib|";
const char kTextFiles[] = "*.txt|*.lan|*.html|*.htm|*.ini|*.txt|*.text|*.log|*.pas|*.h|*.cpp|";
} // namespace

TScanFileType::TScanFileType()
    : FImageFiles(kImageFiles),
      FTextFiles(kTextFiles),
      FPictures(std::string(kImageFiles) + "*.dif|*.eps|*.iff|*.mpt|*.cdr|*.wmf|*.pcd|*.tga|*.svg|"),
      FAudio("*.mp3|*.wma|*.ogg|*.wav|*.aac|*.m4a|*.flac|*.aif|*.aiff|*.aifc|*.aifr|*.midi|*.mid|*.rmi|*.mp2|"
             "*.ape|*.vqf|"),
      FDocuments(std::string("*.xml|*.doc|*.xls|*.ppt|*.odt|*.ods|*.pdf|*.docx|*.xlsx|*.pptx|*.odc|") + kTextFiles),
      FVideos("*.avi|*.mov|*.mpg|*.mp4|*.flv|*.wmv|*.mpg|*.mpeg|*.mpe|*.mpv|*.m1v|*.m4v|*.ifv|*.qt|*.rmvb|*.mkv|"
              "*.asf|*.rm|*.navi|*.3gp|*.swf|"),
      FArchives("*.rar|*.zip|*.7-zip|*.ace|*.arj|*.bz2|*.cab|*.gzip|*.iso|*.jar|*.lzh|*.tar|*.uue|*.xz|*.z|*.7z|"
                "*.tgz|*.tz|*.gz|"),
      FMoreArchives("*.b64|*.bhx|*.bz|*.hqx|*.img|*.lha|*.mim|*.taz|*.tbz|*.tbz2|*.uu|*.uue|*.xxe|*.zipx|*.arc|"
                    "*.paq|*.pea|*.quad|*.balz|*.upx|*.wim|*.deb|*.dmg|*.rpm|*.udf|"),
      FAllKnown(FPictures + FVideos + FAudio + FDocuments + FArchives + FMoreArchives) {
    size_t count = 0;
    for (size_t at = 0; (at = FAllKnown.find("*.", at)) != std::string::npos; ++at)
        ++count;
    size_t slots = 16;
    while (slots < 2 * count)
        slots *= 2;
    known_.resize(slots);
    for (size_t start = 0; (start = FAllKnown.find("*.", start)) != std::string::npos;) {
        const size_t bar = FAllKnown.find('|', start);
        const std::string extension = FAllKnown.substr(start + 1, bar - start - 1);
        AddKnown(extension, Classify(KeyOf(extension)));
        start = bar;
    }
}

size_t TScanFileType::SlotOf(const std::string& extension, size_t hash) const {
    // The table is never more than half full, so the probe always ends.
    const size_t mask = known_.size() - 1;
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
        const KnownSlot& slot = known_[i];
        if (slot.extension.empty() || (slot.hash == hash && EqualsIgnoreCase(slot.extension, extension)))
            return i;
    }
}

void TScanFileType::AddKnown(const std::string& extension, const Known& known) {
    const size_t hash = volume::IgnoreCaseHash()(extension);
    KnownSlot& slot = known_[SlotOf(extension, hash)];
    if (slot.extension.empty())  // an extension listed twice keeps its first listing
        slot = {hash, extension, known};
}

TScanFileType::Known TScanFileType::Classify(const std::string& key) const {
    Known k{kCategoryOthers, kCategoryOthers, kPreviewNone};
    if (IsPicture(key))
        k.category = kCategoryPictures;
    else if (IsVideo(key))
        k.category = kCategoryVideos;
    else if (IsAudio(key))
        k.category = kCategoryAudio;
    else if (IsDocument(key))
        k.category = kCategoryDocuments;
    else if (IsArchive(key) || IsMoreArchive(key))
        k.category = kCategoryArchives;
    k.filterCategory = FilterCategoryOf(key);
    k.preview = IsText(key) ? kPreviewText : IsImage(key) ? kPreviewPicture : IsDocx(key) ? kPreviewDocx : kPreviewNone;
    return k;
}

// The type filter tries audio before videos, unlike the category order.
int TScanFileType::FilterCategoryOf(const std::string& key) const {
    if (IsPicture(key))
        return kCategoryPictures;
    if (IsAudio(key))
        return kCategoryAudio;
    if (IsVideo(key))
        return kCategoryVideos;
    if (IsDocument(key))
        return kCategoryDocuments;
    if (IsArchive(key) || IsMoreArchive(key))
        return kCategoryArchives;
    return kCategoryOthers;
}

const TScanFileType::Known* TScanFileType::Lookup(const std::string& extension) const {
    // An extension holding "*" or "|" could match across mask entries; it takes the plain test.
    for (char c : extension)
        if (c == '*' || c == '|')
            return nullptr;
    static const Known kUnlisted{kCategoryOthers, kCategoryOthers, kPreviewNone};
    const KnownSlot& slot = known_[SlotOf(extension, volume::IgnoreCaseHash()(extension))];
    return slot.extension.empty() ? &kUnlisted : &slot.known;
}

bool TScanFileType::IsPicture(const std::string& key) const { return ContainsIgnoreCase(FPictures, key); }
bool TScanFileType::IsVideo(const std::string& key) const { return ContainsIgnoreCase(FVideos, key); }
bool TScanFileType::IsAudio(const std::string& key) const { return ContainsIgnoreCase(FAudio, key); }
bool TScanFileType::IsDocument(const std::string& key) const { return ContainsIgnoreCase(FDocuments, key); }
bool TScanFileType::IsArchive(const std::string& key) const { return ContainsIgnoreCase(FArchives, key); }
bool TScanFileType::IsMoreArchive(const std::string& key) const { return ContainsIgnoreCase(FMoreArchives, key); }
bool TScanFileType::IsText(const std::string& key) const { return ContainsIgnoreCase(FTextFiles, key); }
bool TScanFileType::IsImage(const std::string& key) const { return ContainsIgnoreCase(FImageFiles, key); }
bool TScanFileType::IsDocx(const std::string& key) const { return ContainsIgnoreCase("*.docx|", key); }
bool TScanFileType::IsOther(const std::string& key) const { return !ContainsIgnoreCase(FAllKnown, key); }

int TScanFileType::CategoryOf(const std::string& extension) const {
    if (const Known* k = Lookup(extension))
        return k->category;
    return Classify(KeyOf(extension)).category;
}

bool TScanFileType::IsSelected(const std::string& extension) const {
    const Known* k = Lookup(extension);
    switch (k ? k->filterCategory : FilterCategoryOf(KeyOf(extension))) {
    case kCategoryPictures: return FPicturesOn;
    case kCategoryAudio: return FAudioOn;
    case kCategoryVideos: return FVideosOn;
    case kCategoryDocuments: return FDocumentsOn;
    case kCategoryArchives: return FArchivesOn;
    default: return FOthersOn;
    }
}

uint8_t TScanFileType::PreviewKindOf(const std::string& extension) const {
    if (const Known* k = Lookup(extension))
        return k->preview;
    return Classify(KeyOf(extension)).preview;
}

bool TScanFileType::AnySelected() const {
    return FPicturesOn || FAudioOn || FVideosOn || FDocumentsOn || FArchivesOn || FOthersOn;
}

void TScanFileType::UpdateAllOn() {
    FAllOn = FPicturesOn && FAudioOn && FVideosOn && FDocumentsOn && FArchivesOn && FOthersOn;
}

void TScanFileType::SelectAll() {
    FPicturesOn = FAudioOn = FVideosOn = FDocumentsOn = FArchivesOn = FOthersOn = true;
    UpdateAllOn();
}

std::string TScanPath::DrivePart(const std::string& location) {
    size_t slash = location.find('\\');
    return slash == std::string::npos ? location : location.substr(0, slash);
}

void TScanPath::AddLocation(const std::string& path) {
    FHasLocations = true;
    const std::string drive = DrivePart(path);
    bool handled = FLocations.empty();
    if (handled)
        FLocations.push_back(path);
    for (size_t i = FLocations.size(); !handled && i-- > 0;) {
        const std::string entry = FLocations[i];
        if (path.find(entry) != std::string::npos) {
            handled = true;  // inside a folder already chosen, or the same
        } else if (entry.find(path) != std::string::npos) {
            FLocations.erase(FLocations.begin() + static_cast<std::ptrdiff_t>(i));
            FLocations.push_back(path);
            handled = true;
        }
    }
    if (!handled)
        FLocations.push_back(path);
    if (!HasDriver(drive))
        FDrivers.push_back(drive);
}

bool TScanPath::HasDriver(const std::string& name) const {
    for (const auto& d : FDrivers)
        if (EqualsIgnoreCase(d, name))
            return true;
    return false;
}

bool TScanPath::IsWholeDriver(const std::string& name) const {
    for (const auto& d : FWholeDrivers)
        if (EqualsIgnoreCase(d, name))
            return true;
    return false;
}

bool TScanPath::LocationOnDriver(const std::string& name) const {
    // A whole drive name and its separator, so /dev/sdb1 never claims /dev/sdb10.
    const std::string prefix = name + "\\";
    for (const auto& l : FLocations)
        if (StartsWithIgnoreCase(l, prefix) || EqualsIgnoreCase(l, name))
            return true;
    return false;
}

bool TScanPath::InLocation(const std::string& path) const {
    for (const auto& l : FLocations)
        if (StartsWithIgnoreCase(path, l))
            return true;
    return false;
}

bool TScanPath::IsRecyclePath(const std::string& folderPath) {
    return StartsWithIgnoreCase(folderPath, "$RECYCLE");
}

void TScanPath::TraceLists() const {
    auto text = [](const std::vector<std::string>& list) {
        std::string t;
        for (const auto& s : list)
            t += s + "\r\n";
        return t;
    };
    std::fprintf(stderr, "FLocations.Text=%s\n", volume::PrintableText(text(FLocations)).c_str());
    std::fprintf(stderr, "FDrivers.Text=%s\n", volume::PrintableText(text(FDrivers)).c_str());
}

void TScanPath::Clear() {
    FLocations.clear();
    FDrivers.clear();
    FRecycleDrivers.clear();
    FWholeDrivers.clear();
    FHasLocations = false;
    FRecycleBin = false;
}

bool TScanPath::KeepsFile(const std::string& driveName, const std::string& folderPath) const {
    const bool inRecycle = IsRecyclePath(folderPath);
    if (FRecycleBin) {
        if (IsWholeDriver(driveName) || inRecycle)
            return true;
        return InLocation(driveName + "\\" + folderPath);
    }
    if (inRecycle)
        return false;
    if (IsWholeDriver(driveName))
        return true;
    return InLocation(driveName + "\\" + folderPath);
}
