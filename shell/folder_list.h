#pragma once
// The folders the user added to the scan locations, kept in FileList.ini in
// the data folder: section "Files", one folder path per key, the keys
// decimal numbers. Every operation reads the file afresh and writes it back.
#include <string>
#include <vector>

class TFolderListFile {
public:
    explicit TFolderListFile(std::string path) : path_(std::move(path)) {}

    // The stored folders in file order, those that no longer exist included.
    std::vector<std::string> Folders() const;
    // Stores `folder` under the key that follows the section's last one;
    // returns that key, or empty when the file could not be written.
    std::string Add(const std::string& folder) const;
    // Deletes the first key holding `folder` (as the system compares paths);
    // false when none does or the file could not be written.
    bool Remove(const std::string& folder) const;

    // The key after `keys` (in file order): one more than the number the last
    // key names, or the number of keys when it names none; "0" for no keys.
    // A key already in use is never returned: the number goes on up.
    static std::string NextKey(const std::vector<std::string>& keys);

    const std::string& Path() const { return path_; }

private:
    std::string path_;
};
