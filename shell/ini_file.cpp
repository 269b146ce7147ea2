#include "shell/ini_file.h"

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "shell/text_file.h"
#include "volume/text.h"

namespace fs = std::filesystem;

namespace shell {

namespace {
std::string Trim(const std::string& s) { return volume::TrimControls(s); }
} // namespace

std::optional<std::pair<std::string, std::string>> SplitEntry(const std::string& line) {
    const size_t eq = line.find('=');
    if (eq == std::string::npos)
        return std::nullopt;
    return std::make_pair(line.substr(0, eq), line.substr(eq + 1));
}

std::vector<std::pair<std::string, std::vector<std::string>>> ParseIni(const std::string& text) {
    std::vector<std::pair<std::string, std::vector<std::string>>> sections;
    std::unordered_map<std::string, size_t> index;
    size_t current = SIZE_MAX;
    for (const std::string& raw : SplitLines(text)) {
        const std::string line = Trim(raw);
        if (line.empty() || line[0] == ';')
            continue;
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
            const std::string name = Trim(line.substr(1, line.size() - 2));
            auto [it, added] = index.try_emplace(volume::AsciiUpper(name), sections.size());
            if (added)
                sections.push_back({name, {}});
            current = it->second;
            continue;
        }
        if (current == SIZE_MAX)
            continue;  // lines before the first section
        if (auto entry = SplitEntry(line))
            sections[current].second.push_back(Trim(entry->first) + "=" + Trim(entry->second));
        else
            sections[current].second.push_back(line);
    }
    return sections;
}

} // namespace shell

TSafeIniFile::TSafeIniFile(const std::string& path, std::optional<IniEncoding> encoding) : path_(path) {
    if (path.empty())
        return;
    std::error_code ec;
    if (!fs::exists(shell::PathOf(path), ec)) {
        const fs::path folder = shell::PathOf(path).parent_path();
        if (!folder.empty())
            fs::create_directories(folder, ec);
        std::ofstream out(shell::PathOf(path), std::ios::binary);
        if (encoding)
            out.write("\xFF\xFE", 2);
    }
    loadFailed_ = !Load(path);
}

void TSafeIniFile::Clear() {
    sections_.clear();
    sectionIndex_.clear();
    cachedName_.clear();
    cachedIndex_ = -1;
    modified_ = false;
}

bool TSafeIniFile::Load(const std::string& path) {
    Clear();
    path_ = path;
    std::error_code ec;
    if (!fs::exists(shell::PathOf(path), ec)) {
        lastError_ = 0;
        return true;
    }
    auto bytes = shell::ReadWholeFile(path);
    if (!bytes) {
        lastError_ = errno ? errno : 1;
        return false;
    }
    LoadBytes(*bytes);
    lastError_ = 0;
    return true;
}

void TSafeIniFile::LoadBytes(const std::vector<uint8_t>& bytes) {
    Clear();
    for (auto& [name, lines] : shell::ParseIni(volume::DecodeText(bytes))) {
        sectionIndex_[volume::AsciiUpper(name)] = sections_.size();
        sections_.push_back({name, std::move(lines)});
    }
}

TSafeIniFile::Section* TSafeIniFile::FindSection(const std::string& name) {
    // The last section asked for is remembered; settings are read in runs.
    if (cachedIndex_ >= 0 && volume::EqualsIgnoreCase(cachedName_, name))
        return &sections_[static_cast<size_t>(cachedIndex_)];
    auto it = sectionIndex_.find(volume::AsciiUpper(name));
    if (it == sectionIndex_.end())
        return nullptr;
    cachedName_ = name;
    cachedIndex_ = static_cast<int>(it->second);
    return &sections_[it->second];
}

TSafeIniFile::Section& TSafeIniFile::SectionFor(const std::string& name) {
    if (Section* s = FindSection(name))
        return *s;
    sectionIndex_[volume::AsciiUpper(name)] = sections_.size();
    sections_.push_back({name, {}});
    cachedName_ = name;
    cachedIndex_ = static_cast<int>(sections_.size() - 1);
    return sections_.back();
}

std::string TSafeIniFile::ReadString(const std::string& section, const std::string& name,
                                     const std::string& defaultValue) {
    Section* s = FindSection(section);
    if (!s)
        return defaultValue;
    for (const std::string& line : s->lines) {
        auto entry = shell::SplitEntry(line);
        if (entry && volume::EqualsIgnoreCase(entry->first, name))
            return entry->second;
    }
    return defaultValue;
}

std::vector<std::string> TSafeIniFile::ReadSection(const std::string& section) {
    std::vector<std::string> names;
    if (Section* s = FindSection(section))
        for (const std::string& line : s->lines)
            names.push_back(shell::SplitEntry(line) ? shell::SplitEntry(line)->first : line);
    return names;
}

void TSafeIniFile::WriteString(const std::string& section, const std::string& name, const std::string& value) {
    Section& s = SectionFor(section);
    const std::string line = name + "=" + value;
    for (std::string& existing : s.lines) {
        auto entry = shell::SplitEntry(existing);
        if (entry && volume::EqualsIgnoreCase(entry->first, name)) {
            existing = line;
            modified_ = true;
            return;
        }
    }
    s.lines.push_back(line);
    modified_ = true;
}

void TSafeIniFile::DeleteKey(const std::string& section, const std::string& name) {
    if (Section* s = FindSection(section)) {
        std::erase_if(s->lines, [&](const std::string& line) {
            auto entry = shell::SplitEntry(line);
            return entry && volume::EqualsIgnoreCase(entry->first, name);
        });
        modified_ = true;
    }
}

std::vector<std::string> TSafeIniFile::SectionNames() const {
    std::vector<std::string> names;
    for (const Section& s : sections_)
        names.push_back(s.name);
    return names;
}

bool TSafeIniFile::Save(const std::string& path) {
    std::error_code ec;
    const fs::path target = shell::PathOf(path);
    if (target.has_parent_path())
        fs::create_directories(target.parent_path(), ec);
    // A read-only file is written all the same and made read-only again.
    const auto status = fs::status(target, ec);
    const bool existed = !ec && fs::exists(status);
    const fs::perms before = existed ? status.permissions() : fs::perms::none;
    const bool readOnly = existed && (before & fs::perms::owner_write) == fs::perms::none;
    if (readOnly)
        fs::permissions(target, fs::perms::owner_write, fs::perm_options::add, ec);

    std::vector<std::string> lines;
    for (const Section& s : sections_) {
        lines.push_back("[" + s.name + "]");
        lines.insert(lines.end(), s.lines.begin(), s.lines.end());
        lines.emplace_back();
    }
    const std::vector<uint8_t> bytes = shell::EncodeUtf16LeWithBom(lines);
    bool ok = false;
    {
        std::ofstream out(target, std::ios::binary | std::ios::trunc);
        if (out) {
            out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
            out.flush();
            ok = static_cast<bool>(out);
        }
    }
    const int savedErrno = errno;
    if (readOnly)
        fs::permissions(target, before, fs::perm_options::replace, ec);
    lastError_ = ok ? 0 : (savedErrno ? savedErrno : 1);
    if (ok)
        modified_ = false;
    return ok;
}
