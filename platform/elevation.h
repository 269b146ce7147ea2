#pragma once
// Starting this program again with administrator rights, the Windows way: the
// program runs as the user who started it (its manifest asks for no more),
// and when a raw drive needs the rights it starts a copy of itself through
// the system's consent prompt (User Account Control) and ends. Other systems
// have no such restart: there the program is started as root.
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// Whether RestartElevated can work here: on Windows, without the rights yet.
bool CanRestartElevated();

enum class ElevationOutcome { Started, Declined, Failed };

// Starts this program's own executable with administrator rights and
// `arguments`. Declined when the user said no at the consent prompt;
// Failed (with `error` saying why) when the system could not start it.
ElevationOutcome RestartElevated(const std::vector<std::string>& arguments, std::string& error);

// Waits up to `limitMs` for the process `id` to end, so that a restarted
// copy finds the single-instance lock of the one that started it released.
// True when it ended (or was gone already).
bool WaitForProcessEnd(uint32_t id, uint32_t limitMs);

uint32_t CurrentProcessId();

// The command line that gives a Windows program exactly `arguments` as its
// argv[1...] (the rules of CommandLineToArgvW and the C runtime: quotes
// around what holds blanks or quotes, backslashes doubled before a quote).
std::string WindowsCommandLine(const std::vector<std::string>& arguments);

} // namespace platform
