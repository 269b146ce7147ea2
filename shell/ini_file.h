#pragma once
// The INI store: a whole settings file in memory, read in any common
// encoding and written back whole as UTF-16LE with a byte-order mark.
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

enum class IniEncoding { Utf16Le };

class TSafeIniFile {
public:
    TSafeIniFile() = default;
    // Loads `path`; a file that does not exist is created empty (with its folders).
    explicit TSafeIniFile(const std::string& path, std::optional<IniEncoding> encoding = std::nullopt);

    bool Load(const std::string& path);
    // Replaces the content with the parse of `bytes`, as Load does for a file's bytes.
    void LoadBytes(const std::vector<uint8_t>& bytes);
    bool Save(const std::string& path);
    bool Save() { return Save(path_); }

    std::string ReadString(const std::string& section, const std::string& name, const std::string& defaultValue);
    std::vector<std::string> ReadSection(const std::string& section);
    void WriteString(const std::string& section, const std::string& name, const std::string& value);
    void DeleteKey(const std::string& section, const std::string& name);
    std::vector<std::string> SectionNames() const;

    bool Modified() const { return modified_; }
    int LastError() const { return lastError_; }
    bool LoadFailed() const { return loadFailed_; }

private:
    struct Section {
        std::string name;
        std::vector<std::string> lines;  // "name=value", or a line without "=" as it stood
    };
    Section* FindSection(const std::string& name);
    Section& SectionFor(const std::string& name);
    void Clear();

    std::string path_;
    std::vector<Section> sections_;
    std::unordered_map<std::string, size_t> sectionIndex_;  // by upper-case name
    std::string cachedName_;
    int cachedIndex_ = -1;
    bool modified_ = false;
    int lastError_ = 0;
    bool loadFailed_ = false;
};

namespace shell {

// Splits a stored line into its name and value; nothing for a line without "=".
std::optional<std::pair<std::string, std::string>> SplitEntry(const std::string& line);

// Parses INI text into (section, lines) in file order; shared by the language files.
std::vector<std::pair<std::string, std::vector<std::string>>> ParseIni(const std::string& text);

} // namespace shell
