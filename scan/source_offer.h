#pragma once
// What a front end offers for an image that holds no volume it can scan.
// A lost volume keeps its names and folders, so the whole image is first
// searched for one; only when that found none, or when no file system on the
// image can be read at all, are its bytes searched by file content (the deep
// scan), which finds files without their names. The window asks before
// either; the command line runs the content search when --deep asks for it.
#include "scan/source_check.h"

namespace scan {

enum class SourceOffer {
    None,              // scanned as it is, or refused with its reason
    SearchWholeImage,  // look for lost volumes at every place one may start
    DeepScan,          // search the whole image by file content
};

// `searchedWhole`: the whole image was searched for lost volumes and none was found.
SourceOffer OfferFor(SourceVerdict verdict, bool searchedWhole);

// The source opens, but no file system on it can be read: what the search by
// content is for. A source that cannot be opened at all gives it nothing to read.
bool SearchableByContent(SourceVerdict verdict);

} // namespace scan
