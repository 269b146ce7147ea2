#include "results/view_filter.h"

#include "volume/text.h"

namespace results {

bool InCategory(const TMyFile& file, int category, const TScanFileType& masks) {
    // No extension stands in two categories' masks, so the category the
    // extension is tallied under is the one whose masks list it.
    return masks.CategoryOf(file.Extension) == category;
}

bool Shows(const TMyFile& file, const ViewFilter& filter, const TScanFileType& masks) {
    if (filter.Text.empty())
        return !filter.ExtensionMode || volume::TrimBlanks(file.Extension).empty();
    if (filter.CategoryIndex >= kCategoryPictures && filter.CategoryIndex <= kCategoryOthers)
        return InCategory(file, filter.CategoryIndex, masks);
    // The extension as the scan tallied it, so that an extension node of the
    // type tree lists exactly the files it counts.
    if (filter.ExtensionMode)
        return volume::EqualsIgnoreCase(file.Extension, filter.Text);
    return volume::ContainsIgnoreCase(file.FileName, filter.Text);
}

} // namespace results
