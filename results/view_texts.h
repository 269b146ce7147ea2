#pragma once
// The texts of the result view, as the window shows them: the header line,
// the selected-files line and each cell of the list. Runs between "<a>" and
// "</a>" are the ones the window draws bold in the accent colour.
#include <cstdint>
#include <string>

#include "volume/records.h"

namespace results {

// Replaces every occurrence of `placeholder`, ignoring case.
std::string ReplaceIgnoringCase(std::string text, const std::string& placeholder, const std::string& value);

// "Deleted files found: <a>N</a> <a>files</a> <a>(size)</a>".
std::string HeaderText(uint32_t foundCount, int64_t totalSize);

// "Select <a>N</a> files <a>(size)</a>".
std::string SelectedFilesText(int32_t checkedCount, int64_t checkedSize);

// The drive name, "\" and the folder path.
std::string PathText(const TMyFile& file);

// The text of a list cell; the preview and margin columns have none.
std::string CellText(const TMyFile& file, int column);

} // namespace results
