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
    // The partitions of a disk to read (--partition, repeatable); empty: every readable one.
    std::vector<uint32_t> partitions;
    // A disk without a readable table: look for volumes at every 1 MiB boundary.
    bool searchPartitions = false;
    bool help = false;
    // What to look for and where.
    std::vector<std::string> types;  // empty: all six
    std::vector<std::string> folders;
    bool recycleBin = false;
    // Search by content where no file system can be read, for these formats
    // (the --types words that name one: jpg, png, docx, ...; empty: all).
    bool deep = false;
    std::vector<std::string> contentTypes;
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
    bool keepFolders = false;
    bool report = true;
    std::string reportFile;  // empty: into the destination
    // The arguments as given, for the report.
    std::string commandLine;
    // Showing one file.
    bool text = false;
    bool raw = false;
};

// Parses argv; on a mistake returns nothing and sets `error`.
std::optional<Options> ParseOptions(int argc, char** argv, std::string& error);

const char* UsageOf(const std::string& command);

} // namespace cli
