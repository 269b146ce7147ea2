#pragma once
// Running a program and taking its exit code and output, on POSIX and Windows.
#include <functional>
#include <string>
#include <vector>

namespace testing_support {

struct CommandResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs `program` with `args`; `environment` adds NAME=VALUE pairs to the inherited ones.
CommandResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::vector<std::string>& environment = {});

#ifndef _WIN32
// A program started and left running, for tests that end it from outside.
struct RunningProgram {
    long pid = -1;
};
// Starts `program` with its output thrown away; pid -1 when it did not start.
RunningProgram StartProgram(const std::string& program, const std::vector<std::string>& args,
                            const std::vector<std::string>& environment = {});
// Kills it with SIGKILL, as a power cut or the out-of-memory killer would, and reaps it.
void KillProgram(RunningProgram& running);
#endif

// Splits a command line on blanks; text inside single quotes stays one argument.
std::vector<std::string> SplitArguments(const std::string& line);

// Memory that really runs out: the address space of a death test's child
// process is limited. Not on Windows, and not under AddressSanitizer, whose
// reserved shadow memory no limit leaves room for. The child should be a
// fresh process ("threadsafe" death tests), whose heap holds no free memory
// left over from earlier tests.
bool CanLimitAddressSpace();

// Lets this process's address space grow by at most `headroom` bytes from
// here on. False when the limit could not be set.
bool LimitAddressSpace(size_t headroom);
// Lifts that limit again, so that the child can report what it saw.
bool UnlimitAddressSpace();

// Ends a death test's child: exit code 0 for the answer "ok", else 1 with the
// answer on standard error for the parent to show.
[[noreturn]] void ExitWithAnswer(const std::string& answer);

// Sets the time zone of this process for the zone tests; false where the
// platform takes its zone from the system instead (Windows).
bool SetProcessTimeZone(const char* zone);

} // namespace testing_support
