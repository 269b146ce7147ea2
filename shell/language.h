#pragma once
// Language files: translators that read "<Name>.lng" files, and the common
// message table that every window looks its texts up in.
#include <string>
#include <unordered_map>
#include <vector>

class TLanguage {
public:
    // Scans the program's "Language" folder (found by shell::ProgramLanguageRoot).
    explicit TLanguage(const std::string& prefix);
    // Scans the program's "Language" folder, then `folder`, which becomes the language folder.
    TLanguage(const std::string& prefix, const std::string& folder);

    std::string Prefix;
    std::string LanguageFolder;
    int CurrentIndex = -1;
    std::vector<std::string> Names;
    std::vector<std::string> DisplayNames;

    void ScanFolder(const std::string& folder);
    void LoadLanguage(const std::string& name);
    std::string Message(const std::string& key, const std::string& defaultText) const;
    std::string Read(const std::string& section, const std::string& key, const std::string& defaultText) const;
    // The loaded language's name, or empty when none is loaded.
    std::string CurrentName() const;
    // Takes a language file's bytes as the loaded file.
    void LoadBytes(const std::vector<uint8_t>& bytes);

private:
    std::string FileOf(const std::string& folder, const std::string& name) const;
    bool LoadFile(const std::string& path);

    std::vector<std::pair<std::string, std::vector<std::string>>> sections_;  // the loaded file
    std::unordered_map<std::string, std::string> messages_;                 // the prefix's "_M" section
};

class TLanUse {
public:
    // Chooses the language of Main.ini in `dataFolder` (default "English"),
    // from the program's language files (shell::ProgramLanguageRoot).
    explicit TLanUse(const std::string& dataFolder);
    // The same from the "Toolbox_Language" folder in `languageRoot`.
    TLanUse(const std::string& languageRoot, const std::string& dataFolder);

    std::string Message(const std::string& key, const std::string& defaultText) const;
    const TLanguage& Language() const { return language_; }

    // Makes this table the one that the core's texts come from.
    void Install() const;

private:
    TLanguage language_;
};

// The key of every message and its English text.
const std::vector<std::pair<const char*, const char*>>& MessageDefaults();
