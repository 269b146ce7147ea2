#pragma once
// The command line's arguments.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace cli {

enum ExitCode : int {
    kExitOk = 0,
    kExitUsage = 2,
    kExitBadSource = 3,
    kExitFailedFiles = 4,
    kExitJobFailed = 5,  // a scan, recovery or preview ended on an error it could not go on from
    kExitInterrupted = 130
};

struct Options {
    std::string command;
    std::vector<std::string> sources;
    bool help = false;
    // What to look for and where.
    std::vector<std::string> types;  // empty: all six
    std::vector<std::string> folders;
    bool recycleBin = false;
    // Filters and order of the result list.
    std::optional<std::string> name;
    std::optional<std::string> ext;
    uint8_t minState = 0;
    std::optional<uint8_t> sortKey;
    bool descending = false;
    std::string format = "table";
    // Recovery.
    std::string destination;
    std::vector<int64_t> ids;
    bool allowSameDrive = false;
    // Showing one file.
    bool text = false;
    bool raw = false;
};

// Parses argv; on a mistake returns nothing and sets `error`.
std::optional<Options> ParseOptions(int argc, char** argv, std::string& error);

const char* UsageOf(const std::string& command);

} // namespace cli
