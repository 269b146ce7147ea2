#include <gtest/gtest.h>

#include "scan/progress.h"

TEST(ProgressRecord, StartsInTheListingPhaseWithNothingFound) {
    TUnDeleteProgress p;
    EXPECT_EQ(p.ScanPercent(), 41);
    EXPECT_EQ(p.FRecordsRead, 0u);
    EXPECT_EQ(p.FFoundCount, 0u);
    EXPECT_EQ(p.RecoverPercent(), 1);
}

TEST(ProgressRecord, ReadingPhaseStaysBelowTheListingRange) {
    TUnDeleteProgress p;
    p.ResetScan();
    EXPECT_EQ(p.ScanPercent(), 1);  // no disk begun yet
    p.FDiskCount = 1;
    p.FNtfsDiskCount = 1;
    p.FNtfsPass = true;
    p.FRecordEstimate = 1000;
    p.FDiskOrdinal = 1;
    p.ScanPercent();  // notices the new disk
    p.FRecordsRead = 500;
    EXPECT_DOUBLE_EQ(p.ScanPercent(), 20);
    p.FRecordsRead = 5000;
    EXPECT_EQ(p.ScanPercent(), 39);
    p.BeginListing();
    EXPECT_EQ(p.FPercent, 40);
}

TEST(ProgressRecord, FatDisksShareTheReadingPhase) {
    TUnDeleteProgress p;
    p.ResetScan();
    p.FDiskCount = 2;
    p.FDiskOrdinal = 1;
    p.ScanPercent();
    p.FDiskPercent = 50;
    EXPECT_DOUBLE_EQ(p.ScanPercent(), 10);
    p.FDiskPercent = 100;
    EXPECT_DOUBLE_EQ(p.ScanPercent(), 20);
    p.FDiskOrdinal = 2;
    p.ScanPercent();  // the second disk begins where the first ended
    p.FDiskPercent = 50;
    EXPECT_DOUBLE_EQ(p.ScanPercent(), 30);
}

TEST(ProgressRecord, ListingPercentCapAndFloor) {
    TUnDeleteProgress p;
    p.FListPhase = true;
    p.FFoundCount = 1000;
    p.FListedCount = 500;
    EXPECT_DOUBLE_EQ(p.ScanPercent(), 70);
    p.FListedCount = 1000;
    EXPECT_EQ(p.ScanPercent(), 99);
    TUnDeleteProgress q;
    q.ResetScan();
    q.FPercentFloor = 5;
    EXPECT_EQ(q.ScanPercent(), 5);
}

TEST(ProgressRecord, ListedNeverPassesFound) {
    TUnDeleteProgress p;
    p.AddListed(1);
    EXPECT_EQ(p.FListedCount, 0u);
    p.FFoundCount = 2;
    p.AddListed(1);
    p.AddListed(1);
    p.AddListed(1);
    EXPECT_EQ(p.FListedCount, 2u);
}

TEST(ProgressRecord, ShownPercentSteps) {
    TUnDeleteProgress p;
    p.ResetScan();
    EXPECT_EQ(p.FShownPercent, 40);
    p.StepShownPercent(2);
    EXPECT_EQ(p.FShownPercent, 40);  // still reading
    p.FListPhase = true;
    p.FShownPercent = 98;
    p.StepShownPercent(2);
    EXPECT_EQ(p.FShownPercent, 99);
    p.FShownPercent = 50;
    p.FScanFinished = true;
    p.FScanCancelled = true;
    p.StepShownPercent(2);
    EXPECT_EQ(p.FShownPercent, 99);
}

TEST(ProgressRecord, RecoveryPercent) {
    TUnDeleteProgress p;
    p.ResetRecovery();
    EXPECT_EQ(p.FBytesTotal, 1);
    p.FUnitsTotal = 4;
    EXPECT_EQ(p.RecoverPercent(), 1);
    p.FUnitsDone = 1;
    EXPECT_DOUBLE_EQ(p.RecoverPercent(), 25);
}
