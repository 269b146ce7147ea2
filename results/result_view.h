#pragma once
// The result view: which found files the result list shows, in what order,
// and which of them are checked for recovery. It refers to the scan's list
// of found files and never owns a file; the window's result page and the
// command line both work through it.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "results/view_filter.h"
#include "scan/progress.h"
#include "scan/scan_selection.h"
#include "scan/disk.h"
#include "volume/records.h"

namespace results {

// The columns of the result list; the first six sort by their key.
enum : int {
    kColumnName = 0,
    kColumnPath = 1,
    kColumnState = 2,
    kColumnSize = 3,
    kColumnDate = 4,
    kColumnPreview = 5,
    kColumnMargin = 6,
    kColumnCount = 7
};

class TResultView {
public:
    // `allFiles` is the scan's list; `progress` (may be null) carries the
    // stop flags a long filter pass reads.
    TResultView(const std::vector<TMyFile*>& allFiles, const TUnDeleteProgress* progress);
    TResultView(const TResultView&) = delete;
    TResultView& operator=(const TResultView&) = delete;

    const std::vector<TMyFile*>& AllFiles;
    // The working set of the filter pass: the files of the chosen location,
    // or all files after a type, extension or name filter.
    std::vector<TMyFile*> BaseFiles;
    // The rows of the list, in display order.
    std::vector<TMyFile*> ShownFiles;
    int32_t CheckedCount = 0;
    int64_t CheckedSize = 0;
    int64_t ShownSize = 0;

    // The parameters of the last view change.
    ViewFilter Filter;
    bool LocationMode = false;
    TMyDisk* FilterDisk = nullptr;
    const TMyFolder* FilterFolder = nullptr;

    // The column sort: the column of the last sort and its direction.
    int SortColumn = kColumnState;
    bool SortAscending = false;

    // Check marks. Only these change a file's Checked flag while the view
    // is in use, and every view change clears them all, so the checked files
    // are always among the shown ones.
    void CheckOne(TMyFile& file);
    void UncheckOne(TMyFile& file);
    void CheckAllShown();
    void UncheckAllShown();
    void UncheckAll();
    // True when no shown file is unchecked (an empty list counts as all checked).
    bool AllShownChecked() const;

    // A view change: unchecks every file, keeps the parameters and runs the
    // filter pass, which ends sorted by recoverability, poorest first.
    // With `locationMode` the files of `folder`, else of `disk`'s root, else
    // (no disk) all files are shown; otherwise `filter` picks among all files.
    void ApplyView(const ViewFilter& filter, bool locationMode, TMyDisk* disk, const TMyFolder* folder);

    // A location change (the folder tree): the files of `folder`, else of
    // `disk`'s root, else all files, best recoverability first.
    void ShowLocation(TMyDisk* disk, const TMyFolder* folder);

    // A type, extension or name filter over all found files (the type tree,
    // the search box), poorest recoverability first. A filter equal to the
    // one applied last does nothing; returns whether the view changed.
    bool ApplySearch(const ViewFilter& filter);
    // What the last ApplySearch applied; empty once a tree change forgot it.
    std::optional<ViewFilter> AppliedSearch;

    // A click on a column header: flips the direction and sorts by the
    // column's key (the margin column only flips the direction).
    void SortByColumn(int column);

    // Forgets the rows and the working set, unchecking every file; nothing
    // refers to the scan's files afterwards but AllFiles.
    void Clear();

private:
    void FilterPass();
    bool Stopped() const;

    const TUnDeleteProgress* progress_;
    TScanFileType masks_;  // only its fixed masks are read
};

} // namespace results
