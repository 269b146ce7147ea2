#include <gtest/gtest.h>

#include "scan/scan_selection.h"

namespace {
TScanFileType Only(bool TScanFileType::*flag) {
    TScanFileType t;
    t.*flag = true;
    t.UpdateAllOn();
    return t;
}
} // namespace

TEST(TypeSelection, ExtensionsAreSelectedByWholeMaskEntries) {
    EXPECT_TRUE(Only(&TScanFileType::FPicturesOn).IsSelected(".JPG"));
    EXPECT_FALSE(Only(&TScanFileType::FAudioOn).IsSelected(".mpg"));
    EXPECT_TRUE(Only(&TScanFileType::FVideosOn).IsSelected(".mpg"));
    auto archives = Only(&TScanFileType::FArchivesOn);
    EXPECT_TRUE(archives.IsSelected(".7z"));
    EXPECT_TRUE(archives.IsSelected(".b64"));
    EXPECT_TRUE(archives.IsSelected(".z"));
    EXPECT_FALSE(archives.IsSelected(".gz.bak"));

    auto others = Only(&TScanFileType::FOthersOn);
    EXPECT_TRUE(others.IsSelected(".xyz"));
    EXPECT_TRUE(others.IsSelected(""));
    EXPECT_FALSE(others.IsSelected(".txt"));
    EXPECT_TRUE(others.IsOther(TScanFileType::KeyOf(".xyz")));
    EXPECT_FALSE(Only(&TScanFileType::FPicturesOn).IsSelected(""));

    // Keys match whole entries only: ".z" its own, ".x" none (though "*.xz|" holds ".x").
    TScanFileType t;
    EXPECT_TRUE(t.IsArchive(TScanFileType::KeyOf(".z")));
    EXPECT_FALSE(t.IsArchive(TScanFileType::KeyOf(".x")));
    EXPECT_FALSE(t.IsArchive(TScanFileType::KeyOf(".tg")));
}

TEST(TypeSelection, CategoriesAndPreviewKinds) {
    TScanFileType t;
    EXPECT_EQ(t.CategoryOf(".txt"), kCategoryDocuments);
    EXPECT_EQ(t.CategoryOf(".PNG"), kCategoryPictures);
    EXPECT_EQ(t.CategoryOf(".mpg"), kCategoryVideos);
    EXPECT_EQ(t.CategoryOf(".flac"), kCategoryAudio);
    EXPECT_EQ(t.CategoryOf(".uue"), kCategoryArchives);
    EXPECT_EQ(t.CategoryOf(".img"), kCategoryArchives);
    EXPECT_EQ(t.CategoryOf(".exe"), kCategoryOthers);
    EXPECT_EQ(t.CategoryOf(""), kCategoryOthers);
    // A crafted extension that spans two mask entries still matches as the masks read.
    EXPECT_EQ(t.CategoryOf(".gif|*.jpg"), kCategoryPictures);
    EXPECT_EQ(t.CategoryOf(".jpg|*.mp3"), kCategoryOthers);
    EXPECT_EQ(t.PreviewKindOf(".txt"), kPreviewText);
    EXPECT_EQ(t.PreviewKindOf(".png"), kPreviewPicture);
    EXPECT_EQ(t.PreviewKindOf(".docx"), kPreviewDocx);
    EXPECT_EQ(t.PreviewKindOf(".svg"), kPreviewNone);
    EXPECT_FALSE(t.AnySelected());
    t.FOthersOn = true;
    EXPECT_TRUE(t.AnySelected());
    t.UpdateAllOn();
    EXPECT_FALSE(t.FAllOn);
}

TEST(PathSelection, AddLocationKeepsOutermostFoldersAndEachDriveOnce) {
    TScanPath p;
    p.AddLocation("E:\\Photos");
    p.AddLocation("E:\\Photos\\2019");
    EXPECT_EQ(p.FLocations, std::vector<std::string>{"E:\\Photos"});
    EXPECT_EQ(p.FDrivers, std::vector<std::string>{"E:"});
    p.AddLocation("E:\\Music\\Live");
    p.AddLocation("E:\\Music");
    EXPECT_EQ(p.FLocations, (std::vector<std::string>{"E:\\Photos", "E:\\Music"}));
    EXPECT_EQ(p.FDrivers.size(), 1u);
    EXPECT_TRUE(p.FHasLocations);
    p.Clear();
    EXPECT_TRUE(p.FLocations.empty());
    EXPECT_FALSE(p.FHasLocations);
}

TEST(PathSelection, DrivePartsMatchWholeDriveNames) {
    TScanPath p;
    p.AddLocation("/dev/sdb1\\Users");
    EXPECT_EQ(p.FDrivers, std::vector<std::string>{"/dev/sdb1"});
    EXPECT_TRUE(p.LocationOnDriver("/dev/sdb1"));
    EXPECT_FALSE(p.LocationOnDriver("/dev/sdb"));
    EXPECT_FALSE(p.InLocation("/dev/sdb10\\Users\\"));
    EXPECT_TRUE(p.InLocation("/dev/sdb1\\Users\\Ann\\"));

    TScanPath q;
    q.AddLocation("/dev/sdb10\\Users");
    EXPECT_FALSE(q.LocationOnDriver("/dev/sdb1"));
}

TEST(PathSelection, LocationPrefixesAreTextPrefixes) {
    TScanPath p;
    p.AddLocation("C:\\Users\\An");
    EXPECT_TRUE(p.InLocation("C:\\Users\\Ann\\"));
    EXPECT_TRUE(p.InLocation("c:\\users\\an\\"));
}

TEST(PathSelection, TheListingRuleForRecycleBinsWholeDrivesAndFolders) {
    TScanPath whole;
    whole.AddDriver("C:");
    whole.AddWholeDriver("C:");
    EXPECT_TRUE(whole.KeepsFile("C:", "Users\\"));
    EXPECT_FALSE(whole.KeepsFile("C:", "$Recycle.Bin\\S-1\\"));

    TScanPath recycle;
    recycle.FRecycleBin = true;
    recycle.AddRecycleDriver("D:");
    recycle.AddDriver("D:");
    EXPECT_TRUE(recycle.KeepsFile("D:", "$RECYCLE.BIN\\x\\"));
    EXPECT_FALSE(recycle.KeepsFile("D:", "Photos\\"));

    // A folder together with the recycle bin keeps the files of both.
    TScanPath both;
    both.FRecycleBin = true;
    both.AddLocation("D:\\Photos");
    EXPECT_TRUE(both.KeepsFile("D:", "Photos\\2019\\"));
    EXPECT_TRUE(both.KeepsFile("D:", "$recycle.bin\\"));
    EXPECT_FALSE(both.KeepsFile("D:", "Music\\"));
}
