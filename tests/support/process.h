#pragma once
// Running a program and taking its exit code and output, on POSIX and Windows.
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

// Splits a command line on blanks; text inside single quotes stays one argument.
std::vector<std::string> SplitArguments(const std::string& line);

// Sets the time zone of this process for the zone tests; false where the
// platform takes its zone from the system instead (Windows).
bool SetProcessTimeZone(const char* zone);

} // namespace testing_support
