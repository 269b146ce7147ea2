// exFAT folders on a failing drive: a sector of a folder that cannot be read
// costs the entries in it, is counted, and the entries after it are read on.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/read_faults.h"
#include "support/test_support.h"

using namespace testing_support;

namespace {

constexpr uint64_t kSector = 512;

std::string ExfatImage(const std::string& name) { return std::string(DUNRO_BINARY_DIR) + "/exfat-images/" + name; }

} // namespace

TEST(UnreadableExfat, ABadSectorOfAFolderCostsOnlyTheEntriesInItAndIsCounted) {
    const std::string image = ExfatImage("exfat-4k.img");
    if (!RequireFile(image))
        return;
    ScanSetup healthy;
    ASSERT_TRUE(healthy.Run(image));
    // The deleted chunks of Frag, by where their entry sets lie; the sector
    // of the first is made unreadable.
    std::vector<TMyFile*> frag;
    for (TMyFile* f : healthy.results)
        if (SlashPath(f->FolderPath) == "Frag/")
            frag.push_back(f);
    ASSERT_GT(frag.size(), 4u);
    std::sort(frag.begin(), frag.end(), [](TMyFile* a, TMyFile* b) { return a->RecordPos < b->RecordPos; });
    const uint64_t bad = static_cast<uint64_t>(frag.front()->RecordPos) / kSector * kSector;
    std::vector<std::string> after;
    for (TMyFile* f : frag)
        if (static_cast<uint64_t>(f->RecordPos) >= bad + kSector)
            after.push_back(f->FileName);
    ASSERT_FALSE(after.empty());

    ScanSetup scan;
    ASSERT_TRUE(scan.RunWithFailingReads(image, {{bad, kSector}}));
    for (const std::string& name : after) {
        const bool found = std::any_of(scan.results.begin(), scan.results.end(), [&](TMyFile* f) {
            return SlashPath(f->FolderPath) == "Frag/" && f->FileName == name;
        });
        EXPECT_TRUE(found) << name;
    }
    EXPECT_EQ(scan.disk->Drive->Damage.FolderClusters.load(), 1u);
    EXPECT_EQ(scan.disk->Drive->Damage.UnreadableBytes.load(), kSector);
    EXPECT_EQ(scan.disk->Reader->Outcome(), volume::ReadOutcome::Read);
}

TEST(UnreadableExfat, ARootFolderOfWhichNothingCanBeReadSaysSo) {
    const std::string image = ExfatImage("exfat-4k.img");
    if (!RequireFile(image))
        return;
    ScanSetup healthy;
    ASSERT_TRUE(healthy.Run(image));
    const TMyFolder& root = *healthy.disk->Folders.front();
    std::vector<platform::ByteRange> failing;
    for (const TMyFileRun& run : root.Runs)
        failing.push_back({static_cast<uint64_t>(run.RunStart), static_cast<uint64_t>(run.RunLength)});
    ASSERT_FALSE(failing.empty());
    ScanSetup scan;
    scan.RunWithFailingReads(image, failing);
    ASSERT_NE(scan.disk, nullptr);
    EXPECT_EQ(scan.disk->Reader->Outcome(), volume::ReadOutcome::RootFolderUnreadable);
    EXPECT_GE(scan.disk->Drive->Damage.FolderClusters.load(), 1u);
}
