#ifdef _WIN32
// On Windows a drive is read through its device path "\\.\D:". The test
// harness links D: and E: to corpus images (under Wine: dosdevices/d:: and e::).
#include <gtest/gtest.h>

#include "support/test_support.h"

using namespace testing_support;

TEST(WindowsDevice, CorpusImagesScanAlikeThroughDrivePaths) {
    for (const auto& [drive, image] : {std::pair<std::string, std::string>{"D:", "ntfs-basic.img"},
                                       std::pair<std::string, std::string>{"E:", "fat32-basic.img"}}) {
        SCOPED_TRACE(drive);
        if (!RequireFile(CorpusPath(image)))
            continue;
        ScanSetup byPath, byDrive;
        ASSERT_TRUE(byPath.Run(CorpusPath(image)));
        ASSERT_TRUE(byDrive.Run(drive)) << drive << " is not linked to " << image;
        EXPECT_EQ(byDrive.disk->DriveName, drive);
        ASSERT_EQ(byDrive.results.size(), byPath.results.size());
        for (size_t i = 0; i < byDrive.results.size(); ++i) {
            const TMyFile& a = *byDrive.results[i];
            const TMyFile& b = *byPath.results[i];
            EXPECT_EQ(a.FileName, b.FileName);
            EXPECT_EQ(a.FolderPath, b.FolderPath);
            EXPECT_EQ(a.State, b.State);
            std::vector<uint8_t> da, db;
            if (ReadAll(b, db)) {
                ASSERT_TRUE(ReadAll(a, da)) << a.FileName;
                EXPECT_EQ(Sha256Of(da), Sha256Of(db)) << a.FileName;
            }
        }
    }
}
#endif
