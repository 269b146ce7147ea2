// The overlap question of the grading answered from the extent index must
// equal the plain comparison of every extent with every other file's extents.
#include <gtest/gtest.h>

#include <random>

#include "ntfs/newer_extents.h"
#include "ntfs/ntfs_disk.h"
#include "support/test_support.h"

using namespace testing_support;

namespace {

// The comparison the index stands in for, kept here as the reference.
bool PlainOverlapsNewer(const FileList& files, const TMyFile& f, size_t position, uint32_t cluster) {
    if (f.Runs.size() < 2 || !f.Runs[0].OnVolume)
        return false;
    for (const TMyFileRun& run : f.Runs) {
        if (run.IsHole)
            continue;
        const auto [s, e] = NewerExtents::SpanOf(run, cluster);
        for (size_t k = 0; k < files.size(); ++k) {
            const TMyFile& g = *files[k];
            if (k == position || g.Runs.empty() || !g.Runs[0].OnVolume || !(f.CreatedTime < g.CreatedTime))
                continue;
            for (const TMyFileRun& other : g.Runs) {
                if (other.IsHole)
                    continue;
                const auto [s2, e2] = NewerExtents::SpanOf(other, cluster);
                if ((s2 < s && s < e2) || (s2 < e && e < e2))
                    return true;
            }
        }
    }
    return false;
}

TMyFileRun Extent(int64_t start, int64_t length, bool hole = false) {
    TMyFileRun run;
    run.RunStart = start;
    run.RunLength = length;
    run.IsHole = hole;
    return run;
}

} // namespace

TEST(NewerExtents, AgreesWithThePlainComparisonOnRandomLists) {
    constexpr uint32_t kCluster = 4096;
    std::mt19937 random(20261209);
    auto pick = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
    for (int round = 0; round < 20; ++round) {
        FileList files;
        for (int i = 0; i < 300; ++i) {
            auto f = std::make_unique<TMyFile>();
            f->CreatedTime = static_cast<FileTime>(pick(0, 40));  // ties and zero times on purpose
            const int runs = pick(1, 4);
            for (int r = 0; r < runs; ++r) {
                // Whole clusters mostly, a partial last cluster now and then.
                const int64_t length = int64_t{pick(1, 12)} * kCluster - (pick(0, 3) == 0 ? pick(1, 4000) : 0);
                f->Runs.push_back(Extent(int64_t{pick(0, 400)} * kCluster, length, pick(0, 9) == 0));
            }
            if (pick(0, 19) == 0)
                f->Runs[0].OnVolume = false;  // resident data counts for nobody
            files.push_back(std::move(f));
        }
        NewerExtents index(files, kCluster);
        int overlapping = 0;
        for (size_t k = 0; k < files.size(); ++k) {
            const TMyFile& f = *files[k];
            bool indexed = false;
            if (f.Runs.size() >= 2 && f.Runs[0].OnVolume) {
                for (const TMyFileRun& run : f.Runs) {
                    if (run.IsHole)
                        continue;
                    const auto [s, e] = NewerExtents::SpanOf(run, kCluster);
                    indexed = indexed || f.CreatedTime < index.NewestAround(s) || f.CreatedTime < index.NewestAround(e);
                }
            }
            const bool plain = PlainOverlapsNewer(files, f, k, kCluster);
            ASSERT_EQ(indexed, plain) << "round " << round << ", file " << k;
            overlapping += plain;
        }
        EXPECT_GT(overlapping, 0);  // the lists do exercise both answers
        EXPECT_LT(overlapping, static_cast<int>(files.size()));
    }
}

TEST(NewerExtents, OnlyClustersStrictlyInsideAnExtentCount) {
    constexpr uint32_t kCluster = 512;
    FileList files;
    auto newer = std::make_unique<TMyFile>();
    newer->CreatedTime = 7;
    newer->Runs.push_back(Extent(10 * kCluster, 5 * kCluster));  // clusters 10..14, span [10, 15)
    newer->Runs.push_back(Extent(40 * kCluster, kCluster));      // one cluster: nothing inside
    files.push_back(std::move(newer));
    NewerExtents index(files, kCluster);
    EXPECT_EQ(index.NewestAround(10), 0u);
    EXPECT_EQ(index.NewestAround(11), 7u);
    EXPECT_EQ(index.NewestAround(14), 7u);
    EXPECT_EQ(index.NewestAround(15), 0u);
    EXPECT_EQ(index.NewestAround(40), 0u);
    EXPECT_EQ(index.NewestAround(-1), 0u);
}

TEST(NewerExtents, TheReaderGradesTheCorpusAsThePlainComparisonDoes) {
    for (const std::string image : {"ntfs-fragmented.img", "ntfs-basic.img"}) {
        SCOPED_TRACE(image);
        const std::string path = CorpusPath(image);
        if (!RequireFile(path))
            return;
        ScanSetup scan;
        ASSERT_TRUE(scan.Run(path));
        TNTFS_Disk& reader = *scan.disk->NtfsReader;
        const FileList& files = scan.disk->Files;
        int fragmented = 0;
        for (size_t k = 0; k < files.size(); ++k) {
            fragmented += files[k]->Runs.size() >= 2;
            EXPECT_EQ(reader.OverlapsNewer(files, *files[k], k),
                      PlainOverlapsNewer(files, *files[k], k, reader.ClusterSize))
                << files[k]->FileName;
        }
        if (image == "ntfs-fragmented.img") {
            EXPECT_GT(fragmented, 0);
        }
    }
}
