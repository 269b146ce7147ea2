#pragma once
// The search by content in the form a reader's context carries it
// (volume::ContentSearcher): the scan makes one for the deep scan, and the
// readers of file systems run it over their free clusters.
#include <vector>

#include "volume/content_find.h"

namespace content {

// `enabled`: the signatures to search for, by their place in Signatures(); empty: all.
volume::ContentSearcher MakeSearcher(std::vector<bool> enabled);

} // namespace content
