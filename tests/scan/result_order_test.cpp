#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "scan/result_order.h"
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
