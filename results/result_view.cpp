#include "results/result_view.h"

#include <array>

#include "results/location.h"
#include "results/result_order.h"

namespace results {

TResultView::TResultView(const std::vector<TMyFile*>& allFiles, const TUnDeleteProgress* progress)
    : AllFiles(allFiles), progress_(progress) {}

void TResultView::CheckOne(TMyFile& file) {
    if (file.Checked)
        return;
    file.Checked = true;
    CheckedCount += 1;
    CheckedSize += file.FileSize;
}

void TResultView::UncheckOne(TMyFile& file) {
    if (!file.Checked)
        return;
    file.Checked = false;
    CheckedCount -= 1;
    CheckedSize -= file.FileSize;
}

void TResultView::CheckAllShown() {
    for (TMyFile* file : ShownFiles)
        CheckOne(*file);
}

void TResultView::UncheckAllShown() {
    for (TMyFile* file : ShownFiles)
        UncheckOne(*file);
}

void TResultView::UncheckAll() {
    // The view is the only writer of the marks while it is in use: when it
    // counts none, none is set, and the records need not be visited.
    if (CheckedCount != 0) {
        for (TMyFile* file : AllFiles)
            if (file->Checked)
                file->Checked = false;
    }
    CheckedCount = 0;
    CheckedSize = 0;
}

bool TResultView::AllShownChecked() const {
    // The checked files are always among the shown ones (every view change
    // unchecks them all), so counting them settles it without a walk.
    return static_cast<size_t>(CheckedCount) >= ShownFiles.size();
}

bool TResultView::Stopped() const { return progress_ && (progress_->FFilterCancel || progress_->FAbort); }

void TResultView::ApplyView(const ViewFilter& filter, bool locationMode, TMyDisk* disk, const TMyFolder* folder) {
    UncheckAll();
    Filter = filter;
    LocationMode = locationMode;
    FilterDisk = disk;
    FilterFolder = folder;
    FilterPass();
}

void TResultView::FilterPass() {
    ShownFiles.clear();
    ShownSize = 0;
    // The pass ends sorted by recoverability, poorest first: the files go
    // straight into one bucket per grade, in the order the pass meets them.
    std::array<std::vector<TMyFile*>, 4> byState;
    std::vector<TMyFile*> unusual;  // a grade outside 0..3 (a damaged record): the sort below places it
    auto show = [&](TMyFile* file) {
        (file->State < byState.size() ? byState[file->State] : unusual).push_back(file);
        ShownSize += file->FileSize;
    };
    if (LocationMode) {
        BaseFiles.clear();
        if (FilterDisk) {
            const TMyFolder* from = FilterFolder ? FilterFolder : RootFolderOf(*FilterDisk);
            if (from)
                CollectLocation(
                    *from,
                    [&](TMyFile* file) {
                        show(file);
                        BaseFiles.push_back(file);
                    },
                    [this] { return Stopped(); });
        } else {
            BaseFiles.reserve(AllFiles.size());
            for (TMyFile* file : AllFiles) {
                if (Stopped())
                    break;
                show(file);
                BaseFiles.push_back(file);
            }
        }
    } else {
        const bool everything = Filter.Text.empty() && !Filter.ExtensionMode;
        auto pass = [&](const std::vector<TMyFile*>& from, bool rebuildBase) {
            for (TMyFile* file : from) {
                if (Stopped())
                    break;
                if (everything || Shows(*file, Filter, masks_))
                    show(file);
                if (rebuildBase)
                    BaseFiles.push_back(file);
            }
        };
        // After a location choice the working set is that location: a type
        // or name filter always works on all found files again.
        if (BaseFiles.size() != AllFiles.size()) {
            BaseFiles.clear();
            BaseFiles.reserve(AllFiles.size());
            pass(AllFiles, true);
        } else {
            pass(BaseFiles, false);
        }
    }
    size_t count = unusual.size();
    for (const auto& bucket : byState)
        count += bucket.size();
    ShownFiles.reserve(count);
    for (const auto& bucket : byState)
        ShownFiles.insert(ShownFiles.end(), bucket.begin(), bucket.end());
    if (!unusual.empty()) {
        ShownFiles.insert(ShownFiles.end(), unusual.begin(), unusual.end());
        SortShown(ShownFiles, kSortState, true);
    }
}

void TResultView::ShowLocation(TMyDisk* disk, const TMyFolder* folder) {
    ApplyView(ViewFilter{}, true, disk, folder);
    // Sorting flips the direction: best first, and a first click on the
    // recoverability header then gives the ascending order.
    SortColumn = kColumnState;
    SortAscending = true;
    SortByColumn(kColumnState);
}

bool TResultView::ApplySearch(const ViewFilter& filter) {
    if (AppliedSearch && *AppliedSearch == filter)
        return false;
    AppliedSearch = filter;
    ApplyView(filter, false, nullptr, nullptr);
    // The pass leaves the rows poorest first: the column sort says so, so
    // that the header's mark tells the order the rows are in.
    SortColumn = kColumnState;
    SortAscending = true;
    return true;
}

void TResultView::SortByColumn(int column) {
    SortColumn = column;
    SortAscending = !SortAscending;
    if (column >= kColumnName && column <= kColumnPreview)
        SortShown(ShownFiles, static_cast<uint8_t>(column), SortAscending);
}

void TResultView::Clear() {
    UncheckAll();
    ShownFiles.clear();
    ShownFiles.shrink_to_fit();
    BaseFiles.clear();
    BaseFiles.shrink_to_fit();
    ShownSize = 0;
    Filter = {};
    LocationMode = false;
    FilterDisk = nullptr;
    FilterFolder = nullptr;
    AppliedSearch.reset();
}

} // namespace results
