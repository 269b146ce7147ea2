#pragma once
// What the scan lends a drive's reader: the shared progress record and the
// user's type and location choices. Any of them may be absent.
#include <vector>

class TUnDeleteProgress;
class TScanFileType;
class TScanPath;

struct ScanContext {
    TUnDeleteProgress* Progress = nullptr;
    const TScanFileType* Types = nullptr;
    const TScanPath* Paths = nullptr;
    // A drive no file system reader accepts is searched by content, for
    // these signatures (by their place in content::Signatures(); empty: all).
    bool SearchContent = false;
    const std::vector<bool>* ContentSignatures = nullptr;
};
