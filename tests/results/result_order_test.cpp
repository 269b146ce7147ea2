#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "results/result_order.h"
#include "support/process.h"

namespace {
struct Rows {
    TDriverInfo drive{"", 0};
    std::vector<std::unique_ptr<TMyFile>> owned;
    std::vector<TMyFile*> list;
    TMyFile& Add(const std::string& name) {
        owned.push_back(std::make_unique<TMyFile>());
        owned.back()->FileName = name;
        owned.back()->Drive = &drive;
        list.push_back(owned.back().get());
        return *owned.back();
    }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (auto* f : list)
            names.push_back(f->FileName);
        return names;
    }
};
constexpr FileTime kDay = 864'000'000'000ull;
constexpr FileTime k2021 = 132'539'328'000'000'000ull;  // 2021-01-01
} // namespace

TEST(ResultOrder, NamesFoldOnlyAsciiCase) {
    TMyFile a, b;
    a.FileName = "apple.txt";
    b.FileName = "Apple.TXT";
    EXPECT_EQ(CompareFiles(a, b, kSortName), 0);
    a.FileName = "é";
    b.FileName = "É";
    EXPECT_NE(CompareFiles(a, b, kSortName), 0);
}

TEST(ResultOrder, SizesUseAllSixtyFourBits) {
    Rows rows;
    rows.Add("five").FileSize = 5ll << 30;
    rows.Add("one").FileSize = 1;
    rows.Add("four").FileSize = 4ll << 30;
    rows.Add("zero").FileSize = 0;
    SortShown(rows.list, kSortSize, true);
    EXPECT_EQ(rows.Names(), (std::vector<std::string>{"zero", "one", "four", "five"}));
    SortShown(rows.list, kSortSize, false);
    EXPECT_EQ(rows.Names(), (std::vector<std::string>{"five", "four", "one", "zero"}));
}

TEST(ResultOrder, DatesSortOldestFirstThenUndated) {
    testing_support::SetProcessTimeZone("UTC");
    Rows rows;
    rows.Add("undated");
    auto& newer = rows.Add("newer");
    newer.ModifiedTime = k2021 + 2 * kDay;  // a Sunday
    newer.HasTimes = true;
    auto& older = rows.Add("older");
    older.ModifiedTime = k2021;
    older.HasTimes = true;
    SortShown(rows.list, kSortDate, true);
    EXPECT_EQ(rows.Names(), (std::vector<std::string>{"older", "newer", "undated"}));
}

TEST(ResultOrder, PathStatePreviewAndUnknownKeys) {
    Rows rows;
    auto& b = rows.Add("b");
    b.FolderPath = "Users\\Bob\\";
    b.State = kStateExcellent;
    b.PreviewKind = 1;
    auto& a = rows.Add("a");
    a.FolderPath = "users\\ann\\";
    a.State = kStatePoor;
    a.PreviewKind = 3;
    SortShown(rows.list, kSortPath, true);
    EXPECT_EQ(rows.Names(), (std::vector<std::string>{"a", "b"}));
    SortShown(rows.list, kSortState, false);
    EXPECT_EQ(rows.Names(), (std::vector<std::string>{"b", "a"}));
    SortShown(rows.list, kSortPreview, false);
    EXPECT_EQ(rows.Names(), (std::vector<std::string>{"a", "b"}));
    SortShown(rows.list, 6, true);
    EXPECT_EQ(rows.Names(), (std::vector<std::string>{"a", "b"}));
}

TEST(ResultOrder, StableSortKeepsEqualKeysInPlace) {
    Rows rows;
    for (const char* n : {"c", "a", "b", "d"})
        rows.Add(n).State = kStateGood;
    SortShownStable(rows.list, kSortState, true);
    EXPECT_EQ(rows.Names(), (std::vector<std::string>{"c", "a", "b", "d"}));
}

TEST(StateWords, UnjudgedShowsAsPoor) {
    EXPECT_EQ(StateText(0), "Poor");
    EXPECT_EQ(StateText(kStateExcellent), "Excellent");
    EXPECT_STREQ(StateWord(kStateGood), "Good");
}

TEST(ResultOrder, EverySortAgreesWithItsComparison) {
    // Names that share long beginnings, that differ only past the twelfth
    // unit or in case, that end where another goes on with a unit 0, and
    // characters beyond the BMP beside U+E000..U+FFFF, which UTF-16 orders
    // the other way round than code points.
    testing_support::SetProcessTimeZone("UTC");
    Rows rows;
    TDriverInfo other{"D:", 0};
    const std::vector<std::string> names = {
        "file_000.txt", "FILE_000.TXT", "file_001.txt", "file_000.txt.bak", "a very long name that goes on.txt",
        "a very long name that goes on.TXT", "a very long name that goes off.txt", "x", std::string("x\0", 2),
        std::string("x\0y", 3), "\xF0\x9F\x98\x80", "\xEE\x80\x80", "\xEF\xBF\xBD", "\xC3\xA9", "\xC3\x89", "", "Z", "z",
        "b", "B"};
    FileTime time = k2021;
    int i = 0;
    for (const std::string& name : names) {
        TMyFile& f = rows.Add(name);
        f.FolderPath = i % 3 ? "Folder\\Sub\\" : "Folder\\";
        if (i % 4 == 0)
            f.Drive = &other;
        f.FileSize = (i * 7919) % 5;
        f.State = static_cast<uint8_t>(i % 4);
        f.PreviewKind = static_cast<uint8_t>(i % 3);
        f.HasTimes = i % 5 != 0;
        f.ModifiedTime = time + static_cast<FileTime>((i * 31) % 7) * kDay;
        ++i;
    }
    // One date in the year 30000: its text has five digits for the year.
    rows.Add("late").HasTimes = true;
    rows.list.back()->ModifiedTime = 9'000'000'000'000'000'000ull;
    for (uint8_t key = kSortName; key <= kSortPreview; ++key) {
        for (bool ascending : {true, false}) {
            for (bool stable : {false, true}) {
                stable ? SortShownStable(rows.list, key, ascending) : SortShown(rows.list, key, ascending);
                for (size_t k = 1; k < rows.list.size(); ++k) {
                    const int c = CompareFiles(*rows.list[k - 1], *rows.list[k], key);
                    EXPECT_TRUE(ascending ? c <= 0 : c >= 0)
                        << int(key) << " " << ascending << " at " << k << ": " << rows.list[k - 1]->FileName << " / "
                        << rows.list[k]->FileName;
                }
            }
        }
    }
}
