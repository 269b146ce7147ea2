#include <gtest/gtest.h>

#include "support/test_support.h"

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "support/process.h"
#include "volume/helpers.h"

namespace fs = std::filesystem;
using namespace testing_support;
using namespace volume;

namespace {
// Sets a zone for one test and restores the one before. Where the platform
// takes its zone from the system, the test is skipped.
class ZoneGuard {
public:
    explicit ZoneGuard(const char* zone) {
        const char* old = std::getenv("TZ");
        had_ = old != nullptr;
        if (had_)
            old_ = old;
        set_ = SetProcessTimeZone(zone);
    }
    ~ZoneGuard() {
        if (set_)
            SetProcessTimeZone(had_ ? old_.c_str() : nullptr);
    }
    bool Set() const { return set_; }

private:
    bool had_ = false;
    bool set_ = false;
    std::string old_;
};

#define REQUIRE_ZONE(guard) \
    if (!(guard).Set())     \
    GTEST_SKIP() << "this platform takes its time zone from the system"

constexpr FileTime kTicksPerSecond = 10'000'000;
// 2021-03-07 09:05:00 UTC, a Sunday.
constexpr FileTime kSunday = (1615107900ull + 11644473600ull) * kTicksPerSecond;

fs::path FreshDir(const std::string& name) {
    fs::path dir = fs::temp_directory_path() / ("dunro-" + name + "-" + ProcessTag());
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}
} // namespace

TEST(DateText, FormatsLocalTimeAndRefusesImpossibleTimes) {
    ZoneGuard utc("UTC");
    REQUIRE_ZONE(utc);
    EXPECT_EQ(DateText(0), "1601-01-01 00:00:00");
    EXPECT_EQ(DateText(kSunday), "2021-03-07 09:05:00");  // a Sunday is a day like any other
    EXPECT_EQ(DateText(0x8000000000000000ull), "N/A");
    EXPECT_EQ(DateText(~0ull), "N/A");
}

TEST(DateText, FollowsTheTimeZone) {
    ZoneGuard berlin("Europe/Berlin");
    REQUIRE_ZONE(berlin);
    EXPECT_EQ(DateText(kSunday), "2021-03-07 10:05:00");
    ZoneGuard newYork("America/New_York");
    EXPECT_EQ(DateText(kSunday), "2021-03-07 04:05:00");
}

TEST(SizeText, Boundaries) {
    EXPECT_EQ(SizeText(0), "0 B");
    EXPECT_EQ(SizeText(512), "512 B");
    EXPECT_EQ(SizeText(1023), "1023 B");
    EXPECT_EQ(SizeText(1024), "1.0 KB");
    EXPECT_EQ(SizeText(1280), "1.3 KB");  // halves round away from zero
    EXPECT_EQ(SizeText(1048575), "1024.0 KB");
    EXPECT_EQ(SizeText(1572864), "1.5 MB");
    EXPECT_EQ(SizeText(1073741824), "1.0 GB");
    EXPECT_EQ(SizeText(5ll << 40), "5120.0 GB");
}

TEST(UniqueFileName, NumbersClashingNames) {
    fs::path dir = FreshDir("unique");
    std::string path = (dir / "a.txt").string();
    EXPECT_TRUE(UniqueFileName(path));
    EXPECT_EQ(path, (dir / "a.txt").string());
    std::ofstream(dir / "a.txt") << "x";
    EXPECT_TRUE(UniqueFileName(path));
    EXPECT_EQ(path, (dir / "a(0).txt").string());
    std::ofstream(dir / "a(0).txt") << "x";
    std::string again = (dir / "a.txt").string();
    EXPECT_TRUE(UniqueFileName(again));
    EXPECT_EQ(again, (dir / "a(1).txt").string());
    // A dot in a folder name is no extension.
    fs::create_directories(dir / "v1.0");
    std::ofstream(dir / "v1.0" / "README") << "x";
    std::string bare = (dir / "v1.0" / "README").string();
    EXPECT_TRUE(UniqueFileName(bare));
    EXPECT_EQ(bare, (dir / "v1.0" / "README(0)").string());
    fs::remove_all(dir);
}

TEST(IsReadOnlyFolder, ProbesWithoutLeavingAnythingBehind) {
    fs::path dir = FreshDir("probe");
    EXPECT_FALSE(IsReadOnlyFolder(dir.string()));
    EXPECT_TRUE(fs::is_empty(dir));
    // A file of the user's with the probe's name survives the probe.
    std::ofstream(dir / "1._") << "keep";
    EXPECT_FALSE(IsReadOnlyFolder(dir.string() + "/"));
    EXPECT_TRUE(fs::exists(dir / "1._"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
    EXPECT_TRUE(IsReadOnlyFolder((dir / "missing").string()));
    fs::remove_all(dir);
}

TEST(IsReadOnlyFolder, SeesAFolderItCannotWrite) {
#ifdef _WIN32
    GTEST_SKIP() << "a Windows folder's read-only attribute does not stop files being made in it";
#else
    // Root ignores permission bits, so the probe runs as an unprivileged user.
    fs::path dir = FreshDir("readonly");
    fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                             fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
    if (geteuid() != 0) {
        EXPECT_TRUE(IsReadOnlyFolder(dir.string()));
    } else {
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            if (setgid(65534) != 0 || setuid(65534) != 0)
                _exit(2);
            _exit(IsReadOnlyFolder(dir.string()) ? 0 : 1);
        }
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0) << "the unprivileged probe found the folder writable";
    }
    fs::permissions(dir, fs::perms::owner_all);
    fs::remove_all(dir);
#endif
}

TEST(DateTimeToFileTime, TakesFieldsWithoutZoneChange) {
    FileTime ft = 0;
    ASSERT_TRUE(DateTimeToFileTime(ft, platform::CalendarTime{2021, 3, 7, 0, 9, 5, 0, 0}));
    EXPECT_EQ(ft, kSunday);
    EXPECT_FALSE(DateTimeToFileTime(ft, platform::CalendarTime{2021, 2, 30, 0, 0, 0, 0, 0}));
}

TEST(LocalTime, ConvertsToUtcInBothSeasons) {
    ZoneGuard berlin("Europe/Berlin");
    REQUIRE_ZONE(berlin);
    auto utc = [](int y, int mo, int d, int h) {
        return platform::CalendarToFileTime(platform::CalendarTime{y, mo, d, 0, h, 0, 0, 0}).value();
    };
    EXPECT_EQ(platform::LocalCalendarToFileTime(platform::CalendarTime{2021, 1, 1, 0, 12, 0, 0, 0}), utc(2021, 1, 1, 11));
    EXPECT_EQ(platform::LocalCalendarToFileTime(platform::CalendarTime{2021, 7, 1, 0, 12, 0, 0, 0}), utc(2021, 7, 1, 10));
    // The hours either side of the spring change.
    EXPECT_EQ(platform::LocalCalendarToFileTime(platform::CalendarTime{2021, 3, 28, 0, 1, 0, 0, 0}), utc(2021, 3, 28, 0));
    EXPECT_EQ(platform::LocalCalendarToFileTime(platform::CalendarTime{2021, 3, 28, 0, 3, 0, 0, 0}), utc(2021, 3, 28, 1));
    ZoneGuard utcZone("UTC");
    EXPECT_EQ(platform::LocalCalendarToFileTime(platform::CalendarTime{1990, 5, 6, 0, 7, 0, 0, 0}), utc(1990, 5, 6, 7));
}
