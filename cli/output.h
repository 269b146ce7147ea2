#pragma once
// Text output of the command line: JSON and CSV fields, aligned tables.
#include <cstdint>
#include <string>
#include <vector>

namespace cli {

std::string JsonString(const std::string& s);
void AppendJsonString(std::string& out, const std::string& s);
std::string CsvField(const std::string& s);

// Columns are aligned by characters, not bytes; cells wider than `maxWidth` are cut.
class Table {
public:
    explicit Table(std::vector<std::string> header) : rows_{std::move(header)} {}
    void Add(std::vector<std::string> row) { rows_.push_back(std::move(row)); }
    // `rightAligned` lists the columns whose cells line up on the right (numbers, sizes).
    std::string Render(const std::vector<bool>& rightAligned, size_t maxWidth = 60) const;

private:
    std::vector<std::vector<std::string>> rows_;
};

} // namespace cli
