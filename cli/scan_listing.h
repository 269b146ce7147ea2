#pragma once
// The scan's result list as the command line prints it: an aligned table for
// people, CSV and JSON for programs.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/scan_session.h"
#include "volume/read_outcome.h"
#include "volume/records.h"

namespace cli {

const char* FileSystemWord(uint8_t fileSystem);
// The reader's outcome as the JSON's `read_outcome`: one stable lowercase word.
const char* OutcomeWord(volume::ReadOutcome outcome);

// The grade as a person reads it, with what explains it beyond the allocation
// map: "Poor (encrypted)" for data the file system encrypted.
std::string GradeText(const TMyFile& file);

// One file as an object of the JSON listing. `driveJson` is the drive's name
// already written as a JSON string (and the fields after it that name its
// partition): every file of a source shares it.
void AppendFileJson(std::string& out, size_t id, const TMyFile& file, const std::string& driveJson,
                    const char* category);

extern const char kCsvHeader[];
// One file as a line of the CSV listing, line end included.
std::string FileCsvRow(size_t id, const TMyFile& file, const char* category);

void PrintScanJson(const ScanSession& session, const std::vector<size_t>& ids, std::FILE* out);
void PrintScanCsv(const ScanSession& session, const std::vector<size_t>& ids, std::FILE* out);
void PrintScanTable(const ScanSession& session, const std::vector<size_t>& ids, std::FILE* out);

} // namespace cli
