#pragma once
// What the user chose before a scan: which kinds of files, and where.
#include <cstdint>
#include <string>
#include <vector>

#include "volume/text.h"

enum : uint8_t { kPreviewNone = 0, kPreviewPicture = 1, kPreviewText = 2, kPreviewDocx = 3 };

enum : int {
    kCategoryPictures = 0,
    kCategoryVideos = 1,
    kCategoryAudio = 2,
    kCategoryDocuments = 3,
    kCategoryArchives = 4,
    kCategoryOthers = 5,
};

class TScanFileType {
public:
    TScanFileType();

    const std::string FImageFiles;
    const std::string FTextFiles;
    const std::string FPictures;
    const std::string FAudio;
    const std::string FDocuments;
    const std::string FVideos;
    const std::string FArchives;
    const std::string FMoreArchives;
    const std::string FAllKnown;

    bool FPicturesOn = false;
    bool FAudioOn = false;
    bool FVideosOn = false;
    bool FDocumentsOn = false;
    bool FArchivesOn = false;
    bool FOthersOn = false;
    bool FAllOn = false;

    // The tests take the key "*" + extension + "|".
    static std::string KeyOf(const std::string& extension) { return "*" + extension + "|"; }
    bool IsPicture(const std::string& key) const;
    bool IsVideo(const std::string& key) const;
    bool IsAudio(const std::string& key) const;
    bool IsDocument(const std::string& key) const;
    bool IsArchive(const std::string& key) const;
    bool IsMoreArchive(const std::string& key) const;
    bool IsText(const std::string& key) const;
    bool IsImage(const std::string& key) const;
    bool IsDocx(const std::string& key) const;
    bool IsOther(const std::string& key) const;

    int CategoryOf(const std::string& extension) const;
    bool IsSelected(const std::string& extension) const;
    uint8_t PreviewKindOf(const std::string& extension) const;
    bool AnySelected() const;
    void UpdateAllOn();
    // Chooses all six kinds.
    void SelectAll();

private:
    // The masks never change, so each listed extension's answers are worked
    // out once: its category, the category the type filter reads, its preview.
    struct Known {
        int category;
        int filterCategory;
        uint8_t preview;
    };
    // The listed extensions in an open-addressed table, at most half full: the
    // listing asks several times for every found file, and each question is
    // one hash and, nearly always, one comparison.
    struct KnownSlot {
        size_t hash = 0;
        std::string extension;  // empty: a free slot
        Known known{};
    };
    std::vector<KnownSlot> known_;
    // The slot holding `extension`, or the free slot where it would go.
    size_t SlotOf(const std::string& extension, size_t hash) const;
    void AddKnown(const std::string& extension, const Known& known);
    const Known* Lookup(const std::string& extension) const;
    int FilterCategoryOf(const std::string& key) const;
    Known Classify(const std::string& key) const;
};

class TScanPath {
public:
    std::vector<std::string> FLocations;
    std::vector<std::string> FDrivers;
    std::vector<std::string> FRecycleDrivers;
    std::vector<std::string> FWholeDrivers;
    bool FHasLocations = false;
    bool FRecycleBin = false;

    void AddDriver(const std::string& name) { FDrivers.push_back(name); }
    void AddWholeDriver(const std::string& name) { FWholeDrivers.push_back(name); }
    void AddRecycleDriver(const std::string& name) { FRecycleDrivers.push_back(name); }
    void AddLocation(const std::string& path);
    int DriverCount() const { return static_cast<int>(FDrivers.size()); }
    bool HasDriver(const std::string& name) const;
    bool IsWholeDriver(const std::string& name) const;
    bool LocationOnDriver(const std::string& name) const;
    bool InLocation(const std::string& path) const;
    static bool IsRecyclePath(const std::string& folderPath);
    void TraceLists() const;
    void Clear();

    // The drive part of a location: everything before its first "\".
    static std::string DrivePart(const std::string& location);

    // The location tests of the listing pass. One rule for both file systems:
    // a chosen folder together with the recycle bin keeps the files of both.
    bool KeepsFile(const std::string& driveName, const std::string& folderPath) const;
};
