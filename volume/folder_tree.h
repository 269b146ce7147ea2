#pragma once
// The folder tree of one scan, shared by every reader: folders found by the
// key they have on disk, placeholders for parents that are gone, loops in
// damaged parent references cut, a file's path built and its count carried
// up to the root. A reader only says how a folder is read from its disk.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "volume/records.h"

namespace volume {

class FolderTree {
public:
    // Which use of a key a folder stands for: a key may be given to another
    // folder once the first one is deleted (NTFS: the record's sequence
    // number, and whether the record was freed).
    struct Identity {
        uint16_t sequence = 0;
        bool freed = false;
    };
    // A folder read from the disk for a key the tree did not hold yet.
    struct Loaded {
        std::unique_ptr<TMyFolder> folder;
        Identity identity;
    };
    // Whether a reference naming `wanted` means the folder with `current`.
    using IdentityMatch = bool (*)(uint16_t wanted, Identity current);

    struct Setup {
        TDriverInfo* drive = nullptr;
        int64_t rootKey = kNoParent;  // the key parent references give the root
        // Reads the folder under a key; nothing when it cannot be read or holds no folder now.
        std::function<std::optional<Loaded>(int64_t key)> load;
        std::function<bool()> stopped;
        IdentityMatch matches = nullptr;  // none: every reference means the folder there now
        std::string placeholderName = "DIRECTORY";  // followed by the key
    };

    explicit FolderTree(Setup setup);

    // Starts a tree in an empty list; its first folder will be the root.
    void Start(FolderList& folders);
    // Takes a list built elsewhere: every folder stands for its key as it is now.
    void Adopt(FolderList& folders);
    bool Holds(const FolderList& folders) const { return folders_ == &folders; }

    // Appends a folder found under `key`; it gets the next list index.
    TMyFolder* Append(std::unique_ptr<TMyFolder> folder, int64_t key);
    TMyFolder* Append(std::unique_ptr<TMyFolder> folder, int64_t key, Identity identity);
    bool Contains(int64_t key) const { return byKey_.contains(key); }
    // The list index of the latest folder for a key (a placeholder for an
    // earlier use counts), or -1; a negative key means the root.
    int32_t Find(int64_t key) const;
    // The folder of a parent reference, read from the disk and placed under
    // its own parents when the tree does not hold it yet.
    int32_t FolderOf(int64_t key, uint16_t sequence = 0);
    // Climbs from a folder towards the root, reading parents as needed.
    void ResolveParent(TMyFolder* folder);
    // How deep a folder lay below the root when it was appended (0: the root or unknown).
    uint32_t DepthOf(int64_t listIndex) const;

    // Puts a file into the folder its parent reference names.
    void AttachFile(TMyFile& file);
    // Puts a file into the folder its FolderIndex names.
    void PlaceFile(TMyFile& file);
    // The file's folder path from below the root, each name followed by a
    // backslash; the root's own files keep the path they have.
    void BuildPath(TMyFile& file);
    // Counts the file in its folder and in every folder above it.
    void CountUp(TMyFile& file);
    // Counts each folder's files into its parent's, from the end of the list
    // to its start: for trees whose parents come before their children, in
    // place of CountUp. False when stopped.
    bool AddUpCounts();

private:
    struct Lookup {
        TMyFolder* folder = nullptr;
        bool made = false;         // appended by this look-up
        bool placeholder = false;  // stands for a folder that is gone
    };

    bool Stopped() const { return setup_.stopped && setup_.stopped(); }
    TMyFolder* At(int64_t listIndex) const;
    std::unique_ptr<TMyFolder> Placeholder(int64_t key) const;
    Lookup FindOrLoad(int64_t key, uint16_t sequence);
    Lookup Stale(int64_t key);
    static void Hang(TMyFolder* folder, TMyFolder* parent);

    Setup setup_;
    FolderList* folders_ = nullptr;
    std::unordered_map<int64_t, int32_t> byKey_;       // the folder a key stands for now
    std::unordered_map<int64_t, int32_t> stale_;       // placeholders for earlier uses of a key
    std::unordered_map<int64_t, Identity> identity_;
    std::vector<uint32_t> depth_;                       // by list index
    std::vector<const std::string*> pathNames_;          // scratch of BuildPath
    // The folders one climb of BuildPath or CountUp has passed: those marked
    // with the climb's number, by list index.
    std::vector<uint32_t> passed_;
    uint32_t climb_ = 0;
    std::unordered_set<const TMyFolder*> strays_;
    void NewClimb();
    bool Pass(const TMyFolder* folder);  // false: passed before on this climb
};

} // namespace volume
