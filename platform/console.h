#pragma once
// The terminal the command line runs in.
#include <atomic>

namespace platform {

bool StderrIsTerminal();
// Ctrl-C (and a termination request) sets `flag` instead of ending the process.
void CatchInterrupt(std::atomic<bool>* flag);
// Standard output carries bytes as they are (no newline translation).
void SetBinaryStdout();

} // namespace platform
