#pragma once
// The listing a reader ends its scan with: each file with data is kept or
// left by the filter's types, placed in its folder, graded, kept or left by
// the filter's locations, and counted in its folder and category.
#include <cstdint>
#include <functional>
#include <vector>

#include "volume/file_type.h"
#include "volume/folder_tree.h"
#include "volume/reader_context.h"
#include "volume/records.h"

namespace volume {

// Grades the file at this index of the list (its path is built by then).
using GradeFile = std::function<void(size_t index, TMyFile& file)>;

// Returns how many files were kept; a stop ends the listing where it is.
uint32_t ListFiles(FolderTree& tree, const ReaderContext& context, FileList& files, FolderList& folders,
                   CategoryList* categories, std::vector<TMyFile*>* accepted, const GradeFile& grade);

} // namespace volume
