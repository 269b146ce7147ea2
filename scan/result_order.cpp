#include "scan/result_order.h"

#include <algorithm>

#include "volume/helpers.h"
#include "volume/text.h"

namespace {

std::string PathText(const TMyFile& f) {
    return (f.Drive ? f.Drive->DriveName : std::string()) + "\\" + f.FolderPath;
}

std::string DateKey(const TMyFile& f) { return f.HasTimes ? volume::DateText(f.ModifiedTime) : "N/A"; }

template <typename T>
int Sign(T a, T b) {
    return a < b ? -1 : a > b ? 1 : 0;
}

template <typename Sorter>
void SortWith(std::vector<TMyFile*>& files, uint8_t key, bool ascending, Sorter sorter) {
    if (key > kSortPreview)
        return;
    if (key == kSortDate) {
        // The date text is what the column shows; work it out once per file.
        std::vector<std::pair<std::string, TMyFile*>> keyed;
        keyed.reserve(files.size());
        for (TMyFile* f : files)
            keyed.emplace_back(DateKey(*f), f);
        sorter(keyed.begin(), keyed.end(), [ascending](const auto& a, const auto& b) {
            int c = volume::CompareTextUtf16(a.first, b.first);
            return ascending ? c < 0 : c > 0;
        });
        for (size_t i = 0; i < files.size(); ++i)
            files[i] = keyed[i].second;
        return;
    }
    sorter(files.begin(), files.end(), [key, ascending](const TMyFile* a, const TMyFile* b) {
        int c = CompareFiles(*a, *b, key);
        return ascending ? c < 0 : c > 0;
    });
}

} // namespace

int CompareFiles(const TMyFile& a, const TMyFile& b, uint8_t key) {
    switch (key) {
    case kSortName:
        return volume::CompareTextUtf16(a.FileName, b.FileName);
    case kSortPath:
        return volume::CompareTextUtf16(PathText(a), PathText(b));
    case kSortState:
        return Sign(a.State, b.State);
    case kSortSize:
        return Sign(a.FileSize, b.FileSize);
    case kSortDate:
        return volume::CompareTextUtf16(DateKey(a), DateKey(b));
    case kSortPreview:
        return Sign(a.PreviewKind, b.PreviewKind);
    default:
        return 0;
    }
}

void SortShown(std::vector<TMyFile*>& files, uint8_t key, bool ascending) {
    SortWith(files, key, ascending, [](auto first, auto last, auto less) { std::sort(first, last, less); });
}

void SortShownStable(std::vector<TMyFile*>& files, uint8_t key, bool ascending) {
    SortWith(files, key, ascending, [](auto first, auto last, auto less) { std::stable_sort(first, last, less); });
}
