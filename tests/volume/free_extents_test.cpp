// Where the deep scan searches a readable volume by content: free clusters
// merged into extents, and the clusters of files already found taken out,
// each widened to the whole clusters it touches.
#include <gtest/gtest.h>

#include <vector>

#include "volume/free_extents.h"

namespace {

using volume::ByteExtent;

std::vector<std::pair<uint64_t, uint64_t>> Pairs(const std::vector<ByteExtent>& extents) {
    std::vector<std::pair<uint64_t, uint64_t>> out;
    for (const ByteExtent& e : extents)
        out.emplace_back(e.offset, e.length);
    return out;
}

// Clusters 2.. of 1000 bytes from byte 5000, as a FAT data region lies.
const volume::ClusterGrid kGrid{2, 5000, 1000};

} // namespace

TEST(FreeExtents, FreeClustersThatTouchAreOneExtent) {
    const std::vector<bool> free = {false, false, true, true, false, true, true, true, false, true};
    const auto extents = volume::FreeClusterExtents(kGrid, free.size(), [&](uint64_t c) { return bool(free[c]); });
    EXPECT_EQ(Pairs(extents), (std::vector<std::pair<uint64_t, uint64_t>>{{5000, 2000}, {8000, 3000}, {12000, 1000}}));
}

TEST(FreeExtents, AFoundFileTakesEveryClusterItTouchesOutOfTheFreeSpace) {
    // A file of 1500 bytes from the middle of cluster 3 touches clusters 3 and 4.
    const auto left = volume::WithoutTaken({{5000, 5000}}, {{6200, 1500}}, kGrid);
    EXPECT_EQ(Pairs(left), (std::vector<std::pair<uint64_t, uint64_t>>{{5000, 1000}, {8000, 2000}}));
}

TEST(FreeExtents, OverlappingAndUnorderedRunsAreTakenOnce) {
    const auto left =
        volume::WithoutTaken({{5000, 3000}, {9000, 4000}}, {{10000, 1000}, {5000, 500}, {5200, 1000}, {12500, 10}}, kGrid);
    EXPECT_EQ(Pairs(left), (std::vector<std::pair<uint64_t, uint64_t>>{{7000, 1000}, {9000, 1000}, {11000, 1000}}));
}

TEST(FreeExtents, RunsOfFilesFoundByContentAndResidentDataTakeNothing) {
    FileList files;
    auto resident = std::make_unique<TMyFile>();
    resident->Runs.push_back(TMyFileRun{4096, 700, 24, false});
    auto byContent = std::make_unique<TMyFile>();
    byContent->FoundBy = kFoundByContent;
    byContent->Runs.push_back(TMyFileRun{8192, 4096});
    auto byRecord = std::make_unique<TMyFile>();
    byRecord->Runs.push_back(TMyFileRun{16384, 100});
    TMyFileRun hole{20480, 4096};
    hole.IsHole = true;
    byRecord->Runs.push_back(hole);
    files.push_back(std::move(resident));
    files.push_back(std::move(byContent));
    files.push_back(std::move(byRecord));
    FolderList folders;
    auto lost = std::make_unique<TMyFolder>();
    lost->Runs.push_back(TMyFileRun{32768, 512});
    folders.push_back(std::move(lost));
    EXPECT_EQ(Pairs(volume::FoundRuns(files, folders)),
              (std::vector<std::pair<uint64_t, uint64_t>>{{16384, 100}, {32768, 512}}));
}
