// The overlap question of the grading answered from the extent index must
// equal the plain comparison of every extent with every other file's extents.
#include <gtest/gtest.h>

#include <random>

#include "ntfs/newer_extents.h"
#include "ntfs/ntfs_disk.h"
#include "support/test_support.h"

using namespace testing_support;

namespace {

// The comparison the index stands in for, kept here as the reference: any
// cluster shared with a file whose record changed later.
bool PlainOverlapsNewer(const FileList& files, const TMyFile& f, size_t position, uint32_t cluster) {
    if (f.Runs.empty() || !f.Runs[0].OnVolume)
        return false;
    for (const TMyFileRun& run : f.Runs) {
        if (run.IsHole)
            continue;
        const auto [s, e] = NewerExtents::SpanOf(run, cluster);
        for (size_t k = 0; k < files.size(); ++k) {
            const TMyFile& g = *files[k];
            if (k == position || g.Runs.empty() || !g.Runs[0].OnVolume || !(f.ChangedTime < g.ChangedTime))
                continue;
            for (const TMyFileRun& other : g.Runs) {
                if (other.IsHole)
                    continue;
                const auto [s2, e2] = NewerExtents::SpanOf(other, cluster);
                if (s2 < e && s < e2)
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
            f->ChangedTime = static_cast<FileTime>(pick(0, 40));  // ties and zero times on purpose
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
            if (f.Runs[0].OnVolume) {
                for (const TMyFileRun& run : f.Runs) {
                    if (run.IsHole)
                        continue;
                    const auto [s, e] = NewerExtents::SpanOf(run, kCluster);
                    indexed = indexed || f.ChangedTime < index.NewestWithin(s, e);
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

TEST(NewerExtents, AnySharedClusterCounts) {
    constexpr uint32_t kCluster = 512;
    FileList files;
    auto newer = std::make_unique<TMyFile>();
    newer->ChangedTime = 7;
    newer->Runs.push_back(Extent(10 * kCluster, 5 * kCluster));  // clusters 10..14, span [10, 15)
    newer->Runs.push_back(Extent(40 * kCluster, kCluster));      // cluster 40 alone
    files.push_back(std::move(newer));
    NewerExtents index(files, kCluster);
    EXPECT_EQ(index.NewestWithin(10, 15), 7u) << "the same extent";
    EXPECT_EQ(index.NewestWithin(11, 13), 7u) << "an extent inside it";
    EXPECT_EQ(index.NewestWithin(0, 100), 7u) << "an extent around it";
    EXPECT_EQ(index.NewestWithin(5, 11), 7u) << "its first cluster";
    EXPECT_EQ(index.NewestWithin(14, 20), 7u) << "its last cluster";
    EXPECT_EQ(index.NewestWithin(40, 41), 7u) << "a one-cluster extent";
    EXPECT_EQ(index.NewestWithin(5, 10), 0u) << "ends just before";
    EXPECT_EQ(index.NewestWithin(15, 40), 0u) << "between the two";
    EXPECT_EQ(index.NewestWithin(41, 50), 0u) << "after the last";
}

TEST(NewerExtents, TheReaderGradesTheCorpusAsThePlainComparisonDoes) {
    for (const std::string image : {"ntfs-fragmented.img", "ntfs-basic.img"}) {
        SCOPED_TRACE(image);
        const std::string path = CorpusPath(image);
        if (!RequireFile(path))
            return;
        ScanSetup scan;
        ASSERT_TRUE(scan.Run(path));
        TNTFS_Disk& reader = dynamic_cast<TNTFS_Disk&>(*scan.disk->Reader);
        const FileList& files = scan.disk->Files;
        int overlapping = 0;
        for (size_t k = 0; k < files.size(); ++k) {
            const bool plain = PlainOverlapsNewer(files, *files[k], k, reader.ClusterSize);
            EXPECT_EQ(reader.OverlapsNewer(files, *files[k], k), plain) << files[k]->FileName;
            overlapping += plain;
        }
        if (image == "ntfs-fragmented.img") {
            EXPECT_GT(overlapping, 0);
        }
    }
}

TEST(NewerExtents, GatheredBatchByBatchAnswersAsTheWholeList) {
    // As the reading hands files over chunk by chunk, in batches of any size.
    constexpr uint32_t kCluster = 4096;
    std::mt19937 random(20261210);
    auto pick = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
    FileList files;
    for (int i = 0; i < 2000; ++i) {
        auto f = std::make_unique<TMyFile>();
        f->ChangedTime = static_cast<FileTime>(pick(0, 60));
        for (int r = pick(1, 3); r > 0; --r)
            f->Runs.push_back(Extent(int64_t{pick(0, 3000)} * kCluster, int64_t{pick(1, 20)} * kCluster, pick(0, 9) == 0));
        files.push_back(std::move(f));
    }
    NewerExtents::Gathered gathered;
    for (size_t from = 0; from < files.size();) {
        std::vector<TMyFile*> batch;
        for (size_t n = static_cast<size_t>(pick(0, 300)); n > 0 && from < files.size(); --n)
            batch.push_back(files[from++].get());
        gathered.Add(batch, kCluster);
    }
    const NewerExtents whole(files, kCluster);
    const NewerExtents pieces(std::move(gathered));
    for (int64_t first = 0; first < 3100; first += 7)
        for (int64_t length : {1, 3, 25})
            ASSERT_EQ(pieces.NewestWithin(first, first + length), whole.NewestWithin(first, first + length)) << first;
}
