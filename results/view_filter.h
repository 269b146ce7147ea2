#pragma once
// Which found files a type, extension or name filter shows. The window's
// type tree and search box and the command line's --types, --ext and --name
// all ask here, so both front ends list the same files for the same filter.
#include <string>

#include "scan/scan_selection.h"
#include "volume/records.h"

namespace results {

struct ViewFilter {
    // A category's name, an extension with its dot, or typed text; empty for none.
    std::string Text;
    // 0..5: the file must belong to that category; -1: no category.
    int CategoryIndex = -1;
    // `Text` is an extension (an empty one asks for files without extension).
    bool ExtensionMode = false;

    bool operator==(const ViewFilter&) const = default;
};

// The category test: the file's extension is listed in the masks of
// `category`; Others holds what no mask lists.
bool InCategory(const TMyFile& file, int category, const TScanFileType& masks);

// The match rule of the type, extension and name filters.
bool Shows(const TMyFile& file, const ViewFilter& filter, const TScanFileType& masks);

} // namespace results
