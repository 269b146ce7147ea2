// Names and folders of deleted files on corpus images patched in a few
// bytes: a folder record that now holds another folder, an extension record,
// parent references that loop.
#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <sstream>

#include "ntfs/ntfs_disk.h"
#include "support/ntfs_patch.h"
#include "support/test_support.h"

using namespace testing_support;

namespace {

std::vector<std::string> Components(const std::string& folderPath) {
    std::vector<std::string> out;
    std::stringstream in(folderPath);
    for (std::string name; std::getline(in, name, '\\');)
        out.push_back(name);
    return out;
}

} // namespace

TEST(NtfsTree, ParentRecordNowHoldingAnotherFolderMakesAPlaceholder) {
    PatchedNtfsImage image("ntfs-basic.img");
    if (!image.Ready())
        return;
    // Users/Ann/Pictures is a live folder. Counting its record's sequence
    // number up is what freeing it and giving the record to a new folder does.
    const int64_t pictures = image.RecordOf("Users/Ann/Pictures");
    MftRecordEdit record(image.Path(), image.RecordAt(pictures));
    record.Put16(16, static_cast<uint16_t>(record.Get16(16) + 1));
    record.Write();
    ScanSetup scan;
    ASSERT_TRUE(scan.Run(image.Path()));
    TMyFile* beach = FoundRecord(scan, image.RecordOf("Users/Ann/Pictures/beach.jpg"));
    ASSERT_NE(beach, nullptr);
    EXPECT_EQ(beach->FolderPath, "DIRECTORY" + std::to_string(pictures) + "\\");
    TMyFile* notes = FoundRecord(scan, image.RecordOf("Users/Ann/Documents/notes.txt"));
    ASSERT_NE(notes, nullptr);
    EXPECT_EQ(notes->FolderPath, "Users\\Ann\\Documents\\") << "a folder whose record is unchanged keeps its name";
}

TEST(NtfsTree, ExtensionRecordIsNeverListedAsAFile) {
    PatchedNtfsImage image("ntfs-basic.img");
    if (!image.Ready())
        return;
    // The deleted beach.jpg's record made into an extension of record 64:
    // its attributes are then pieces of that file, not a file of their own.
    const int64_t beach = image.RecordOf("Users/Ann/Pictures/beach.jpg");
    MftRecordEdit record(image.Path(), image.RecordAt(beach));
    record.Put64(0x20, 64 | uint64_t{1} << 48);
    record.Write();
    ScanSetup scan;
    ASSERT_TRUE(scan.Run(image.Path()));
    EXPECT_EQ(FoundRecord(scan, beach), nullptr);
    EXPECT_NE(FoundRecord(scan, image.RecordOf("Users/Ann/Pictures/cat.gif")), nullptr);
}

TEST(NtfsTree, ParentLoopEndsAtTheFirstRepeatedFolder) {
    PatchedNtfsImage image("ntfs-basic.img");
    if (!image.Ready())
        return;
    // The deleted Users/Bob now names its own grandchild Downloads/Old as its
    // parent: Old -> Downloads -> Bob -> Old -> ...
    const int64_t old = image.RecordOf("Users/Bob/Downloads/Old");
    const uint16_t oldSequence = MftRecordEdit(image.Path(), image.RecordAt(old)).Get16(16);
    MftRecordEdit bob(image.Path(), image.RecordAt(image.RecordOf("Users/Bob")));
    const size_t name = bob.FindAttribute(0x30);
    ASSERT_NE(name, std::string::npos);
    bob.Put64(bob.ValueOf(name), static_cast<uint64_t>(old) | uint64_t{oldSequence} << 48);
    bob.Write();

    ScanSetup scan;
    ASSERT_TRUE(scan.Run(image.Path()));
    int inLoop = 0;
    for (TMyFile* f : scan.results) {
        if (f->FolderPath.find("Bob\\") == std::string::npos)
            continue;
        ++inLoop;
        const auto names = Components(f->FolderPath);
        EXPECT_EQ(std::set<std::string>(names.begin(), names.end()).size(), names.size())
            << f->FileName << " in " << f->FolderPath;
    }
    EXPECT_GT(inLoop, 0);
    TMyFile* archive = FoundRecord(scan, image.RecordOf("Users/Bob/Downloads/Old/archive.7z"));
    ASSERT_NE(archive, nullptr);
    EXPECT_EQ(archive->FolderPath.substr(archive->FolderPath.size() - 4), "Old\\");

    // The folder tree stays a tree: no folder is met twice from the root.
    std::set<const TMyFolder*> seen;
    std::function<void(const TMyFolder*)> walk = [&](const TMyFolder* folder) {
        ASSERT_TRUE(seen.insert(folder).second) << folder->FolderName << " is met twice";
        for (const TMyFolder* sub : folder->SubFolders)
            walk(sub);
    };
    walk(scan.disk->Folders[0].get());
}
