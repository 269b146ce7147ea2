#pragma once
// What a reader needs from the scan besides its drive: the shared progress
// record and the user's type and location choices. Any of them may be absent.
class TUnDeleteProgress;
class TScanFileType;
class TScanPath;

struct ScanContext {
    TUnDeleteProgress* Progress = nullptr;
    const TScanFileType* Types = nullptr;
    const TScanPath* Paths = nullptr;
};
