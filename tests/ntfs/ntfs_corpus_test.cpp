// The NTFS reader against real volumes: the corpus images with their
// manifests, and third-party images with their authors' published hashes.
#include <gtest/gtest.h>

#include <map>

#include "ntfs/ntfs_disk.h"
#include "support/test_support.h"

using namespace testing_support;
using nlohmann::json;

namespace {

std::map<int64_t, TMyFile*> ByRecord(const FileList& files) {
    std::map<int64_t, TMyFile*> map;
    for (const auto& f : files)
        map[f->RecordNo] = f.get();
    return map;
}


// The manifest entry of the folder a path lies in.
const json* ParentEntry(const json& manifest, const std::string& path) {
    std::string dir = Dirname(path);
    if (dir.empty())
        return nullptr;
    dir.pop_back();
    for (const json& e : manifest["files"])
        if (e["path"] == dir)
            return &e;
    return nullptr;
}

void CheckImageAgainstManifest(const std::string& image) {
    const std::string path = CorpusPath(image);
    if (!RequireFile(path))
        return;
    const json manifest = LoadManifest(image);
    ScanSetup scan;
    ASSERT_TRUE(scan.Run(path));
    auto found = ByRecord(scan.disk->Files);
    int checkedNames = 0, checkedContent = 0;
    for (const json& e : manifest["files"]) {
        if (e["type"] != "file" || !e.value("deleted", false) || e.value("size", 0) == 0 || !e.value("fls_listed", false))
            continue;
        const std::string p = e["path"];
        SCOPED_TRACE(image + ": " + p);
        auto it = found.find(e["mft_record"].get<int64_t>());
        ASSERT_NE(it, found.end()) << "not found";
        TMyFile& f = *it->second;
        EXPECT_EQ(f.FileName, Basename(p));
        EXPECT_EQ(f.FileSize, e["size"].get<int64_t>());
        EXPECT_TRUE(f.Accepted);
        const json* parent = ParentEntry(manifest, p);
        if (parent && parent->value("mft_record_reused", false)) {
            EXPECT_EQ(f.FolderPath, "DIRECTORY" + std::to_string((*parent)["mft_record"].get<int64_t>()) + "\\");
        } else {
            EXPECT_EQ(SlashPath(f.FolderPath), Dirname(p));
        }
        ++checkedNames;

        if (e.value("clusters_reallocated", 0) > 0) {
            EXPECT_NE(f.State, kStateExcellent) << "its clusters belong to another file now";
        }
        if (e.value("content_intact", false)) {
            std::vector<uint8_t> data;
            ASSERT_TRUE(ReadAll(f, data));
            EXPECT_EQ(Sha256Of(data), e["sha256"].get<std::string>());
            ++checkedContent;
        }
    }
    EXPECT_GT(checkedNames, 0);
    EXPECT_GT(checkedContent, 0);
}

struct Published {
    std::string folder, name, md5;
    int64_t size;
};

void CheckPublished(const std::string& image, const std::vector<Published>& expected) {
    if (!RequireFile(image))
        return;
    const std::string before = Sha256OfFile(image);
    ScanSetup scan;
    ASSERT_TRUE(scan.Run(image));
    for (const Published& p : expected) {
        SCOPED_TRACE(p.folder + p.name);
        TMyFile* match = nullptr;
        for (TMyFile* f : scan.results)
            if (f->FileName == p.name && f->FolderPath == p.folder)
                match = f;
        ASSERT_NE(match, nullptr) << "not found";
        EXPECT_EQ(match->FileSize, p.size);
        std::vector<uint8_t> data;
        ASSERT_TRUE(ReadAll(*match, data));
        EXPECT_EQ(Md5Of(data), p.md5);
    }
    EXPECT_EQ(Sha256OfFile(image), before) << "the image changed";
}

} // namespace

TEST(NtfsCorpus, BasicImageMatchesItsManifest) { CheckImageAgainstManifest("ntfs-basic.img"); }

TEST(NtfsCorpus, FragmentedSparseAndCompressedFilesMatchTheirManifest) {
    CheckImageAgainstManifest("ntfs-fragmented.img");
}

TEST(NtfsCorpus, FolderIndexFindsWhatASearchFromTheEndOfTheListFinds) {
    // The reader looks folders up by record number in an index; the answer
    // must be the one a search from the end of the folder list gives.
    for (const std::string image : {"ntfs-basic.img", "ntfs-fragmented.img"}) {
        SCOPED_TRACE(image);
        const std::string path = CorpusPath(image);
        if (!RequireFile(path))
            return;
        ScanSetup scan;
        ASSERT_TRUE(scan.Run(path));
        const FolderList& folders = scan.disk->Folders;
        auto searchFromEnd = [&](int64_t recordNo) {
            for (size_t i = folders.size(); i-- > 0;)
                if (folders[i]->RecordNo == recordNo)
                    return static_cast<int32_t>(i);
            return int32_t{-1};
        };
        std::vector<int64_t> asked;
        for (const auto& folder : folders)
            asked.insert(asked.end(), {folder->RecordNo, folder->ParentRecordNo});
        for (const auto& file : scan.disk->Files)
            asked.push_back(file->ParentRecordNo);
        asked.insert(asked.end(), {0, 3, 123456789});
        ASSERT_GT(folders.size(), 1u);
        for (int64_t recordNo : asked) {
            if (recordNo < 0)
                continue;  // "no parent" means the root, by rule rather than by search
            EXPECT_EQ(dynamic_cast<TNTFS_Disk*>(scan.disk->Reader.get())->FindFolder(recordNo), searchFromEnd(recordNo)) << recordNo;
        }
    }
}

TEST(NtfsCorpus, DeletedFoldersFormTheTree) {
    const std::string path = CorpusPath("ntfs-basic.img");
    if (!RequireFile(path))
        return;
    ScanSetup scan;
    ASSERT_TRUE(scan.Run(path));
    const FolderList& folders = scan.disk->Folders;
    ASSERT_FALSE(folders.empty());
    EXPECT_EQ(folders[0]->RecordNo, 5);
    const TMyFolder* bob = nullptr;
    const TMyFolder* users = nullptr;
    for (const auto& f : folders) {
        if (f->FolderName == "Bob")
            bob = f.get();
        if (f->FolderName == "Users")
            users = f.get();
    }
    ASSERT_NE(bob, nullptr);
    ASSERT_NE(users, nullptr);
    EXPECT_TRUE(bob->IsDeleted);
    EXPECT_FALSE(users->IsDeleted);
    EXPECT_EQ(folders[static_cast<size_t>(bob->ParentIndex)].get(), users);
    EXPECT_GT(bob->FileCount, 0u);
    EXPECT_GE(users->FileCount, bob->FileCount);
    EXPECT_EQ(folders[0]->FileCount, scan.disk->AcceptedCount);
    for (const auto& f : folders)
        if (f->FolderName == "Empty Folder") {
            EXPECT_EQ(f->FileCount, 0u);
        }
    // Every accepted file is counted once in its category.
    uint32_t counted = 0;
    for (const auto& c : scan.categories)
        for (const auto& e : c->Extensions)
            counted += e.Count;
    EXPECT_EQ(counted, scan.results.size());
}

TEST(NtfsCorpus, Dftt07DeletedFilesReadBackAsPublished) {
    CheckPublished(ReferencePath("dftt07-ntfs-undel.dd"),
                   {{"", "res1.dat", "9036637712b491904cd0bfbdbe648453", 101},
                    {"", "sing1.dat", "59b20779f69ff9f0ac5fcd2c38835a79", 780},
                    {"", "mult1.dat", "ffd27bd782bdce67750b6b9ee069d2ef", 3801},
                    {"", "frag1.dat", "7a3bc5b763bef201202108f4ba128149", 1584},
                    {"", "frag2.dat", "0e80ab84ef0087e60dfc67b88a1cf13e", 3873},
                    {"dir1\\", "mult2.dat", "59cf0e9cd107bc1e75afb7374f6e05bb", 1715},
                    {"dir1\\dir2\\", "frag3.dat", "21121699487f3fbbdb9a4b3391b6d3e0", 2027},
                    {"DIRECTORY37\\", "sing2.dat", "c229626f6a71b167ad7e50c4f2fccdb1", 1005}});
}

TEST(NtfsCorpus, Dftt08DeletedPicturesReadBackAsPublished) {
    CheckPublished(ReferencePath("dftt08-jpeg-search.dd"),
                   {{"del1\\", "file6.jpg", "afd55222024a4e22f7f5a3a665320763", 175630},
                    {"del2\\", "file7.hmm", "0c452c5800fcfa7c66027ae89c4f068a", 326859}});
}

TEST(NtfsCorpus, AVolumeWithoutUserDeletedFilesReportsNone) {
    const std::string path = UnpackedPath("dfirntfs-ntfs3_attrlist.raw");
    if (!RequireFile(path))
        return;
    ScanSetup scan;
    ASSERT_TRUE(scan.Run(path));
    for (TMyFile* f : scan.results)
        ADD_FAILURE() << "reported " << f->FolderPath << f->FileName;
}

TEST(NtfsCorpus, StopRequestEndsTheReadingEarly) {
    const std::string path = CorpusPath("ntfs-basic.img");
    if (!RequireFile(path))
        return;
    struct Reading {
        size_t deletedFiles;
        uint32_t fileRecords, recordsRead;
    };
    auto read = [&](uint32_t maxFiles, bool cancelled) {
        ScanSetup scan;
        ScanContext context = scan.Context();
        TMyDisk* disk = DiskFor(scan.disks, path, context);
        EXPECT_NE(disk, nullptr);
        scan.progress.ResetScan();
        scan.progress.FMaxFiles = maxFiles;
        scan.progress.FScanCancelled = cancelled;
        disk->Enumerate();
        return Reading{disk->Files.size(), scan.progress.FFoundCount, scan.progress.FRecordsRead};
    };
    const Reading whole = read(8'000'000, false);
    ASSERT_GT(whole.deletedFiles, 2u);

    // The cap counts live and deleted files together; the reading ends where it is reached.
    const uint32_t cap = whole.fileRecords / 2;
    const Reading capped = read(cap, false);
    EXPECT_EQ(capped.fileRecords, cap);
    EXPECT_GT(capped.deletedFiles, 0u);
    EXPECT_LT(capped.deletedFiles, whole.deletedFiles);
    EXPECT_LT(capped.recordsRead, whole.recordsRead);

    const Reading stopped = read(8'000'000, true);
    EXPECT_EQ(stopped.deletedFiles, 0u);
    EXPECT_EQ(stopped.recordsRead, 0u);
}

namespace {

// How the grades of one image's deleted files match what its manifest
// measured: overwritten files graded Excellent, intact ones graded Poor.
struct GradeFigures {
    int overwritten = 0, overwrittenExcellent = 0, intact = 0, intactPoor = 0;
};

GradeFigures FiguresOf(const std::string& image) {
    GradeFigures figures;
    const std::string path = CorpusPath(image);
    if (!RequireFile(path))
        return figures;
    const json manifest = LoadManifest(image);
    ScanSetup scan;
    EXPECT_TRUE(scan.Run(path));
    auto found = ByRecord(scan.disk->Files);
    for (const json& e : manifest["files"]) {
        if (e["type"] != "file" || !e.value("deleted", false) || e.value("size", 0) == 0 ||
            !e.contains("content_intact") || e.value("mft_record_reused", false))
            continue;
        auto it = found.find(e["mft_record"].get<int64_t>());
        if (it == found.end()) {
            ADD_FAILURE() << image << ": " << e["path"] << " not found";
            continue;
        }
        if (e["content_intact"].get<bool>()) {
            ++figures.intact;
            figures.intactPoor += it->second->State == kStatePoor;
        } else {
            ++figures.overwritten;
            figures.overwrittenExcellent += it->second->State == kStateExcellent;
        }
    }
    ::testing::Test::RecordProperty(image, std::to_string(figures.overwrittenExcellent) + " of " +
                                               std::to_string(figures.overwritten) + " overwritten Excellent, " +
                                               std::to_string(figures.intactPoor) + " of " +
                                               std::to_string(figures.intact) + " intact Poor");
    return figures;
}

const char* const kManifestImages[] = {"ntfs-basic.img", "ntfs-fragmented.img", "ntfs-attrlist.img"};

} // namespace

TEST(NtfsCorpus, AtMostOneInTenOverwrittenFilesIsGradedExcellent) {
    for (const std::string image : kManifestImages) {
        SCOPED_TRACE(image);
        const GradeFigures f = FiguresOf(image);
        EXPECT_GT(f.overwritten, 0);
        EXPECT_LE(f.overwrittenExcellent * 10, f.overwritten) << f.overwrittenExcellent << " of " << f.overwritten;
    }
}

TEST(NtfsCorpus, IntactDeletedFilesAreNotGradedPoor) {
    for (const std::string image : kManifestImages) {
        SCOPED_TRACE(image);
        const GradeFigures f = FiguresOf(image);
        EXPECT_GT(f.intact, 0);
        EXPECT_EQ(f.intactPoor, 0);
    }
}
