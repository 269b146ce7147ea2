#pragma once
// What became of one file of a recovery job.
#include <cstdint>
#include <string>

#include "volume/records.h"

struct RecoveryOutcome {
    TMyFile* File = nullptr;
    std::string Target;  // empty when nothing was written
    bool Ok = false;
    std::string Error;
    // Ok, but these bytes of the copy are zeros: their sectors could not be read.
    uint64_t UnreadableBytes = 0;
    // Where the copy was written below the destination, its folders joined
    // with the system's delimiter; empty when nothing was written.
    std::string WrittenName;
    // Of the bytes written, hashed as they went out; empty when nothing was written.
    std::string Sha256;
    std::string Md5;
};
