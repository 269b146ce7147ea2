#pragma once
// The checks a recovery destination must pass before a job starts.
#include <string>

class TThreadRecover;

enum class DestinationVerdict {
    Ok,
    Missing,     // the folder does not exist
    ReadOnly,    // nothing can be created in it
    NoRoom,      // its free space is unknown or not more than the job needs
    SourceDrive, // it lies on a drive the files come from: ask first
};

// Runs the checks in order on `folder` for the job the worker holds, and on
// success makes the folder the worker's destination, held open from the
// checks to the job's end. The files go, as root started through pkexec, to
// the user who asked; that user or root must then own the folder.
DestinationVerdict CheckDestination(TThreadRecover& worker, const std::string& folder);
