// The restart with administrator rights hands the new process the window's
// arguments (image paths with blanks, quotes and backslashes) unchanged.
#include <gtest/gtest.h>

#include "platform/elevation.h"

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>

#include "platform/win32/wide.h"
#endif

TEST(Elevation, CommandLineQuotesOnlyWhatNeedsIt) {
    EXPECT_EQ(platform::WindowsCommandLine({R"(C:\Images\card.img)", "1234"}), R"(C:\Images\card.img 1234)");
    EXPECT_EQ(platform::WindowsCommandLine({R"(C:\My Images\a.img)"}), R"("C:\My Images\a.img")");
    EXPECT_EQ(platform::WindowsCommandLine({R"(C:\dir with blank\)"}), R"("C:\dir with blank\\")");
    EXPECT_EQ(platform::WindowsCommandLine({R"(a\"b)"}), R"("a\\\"b")");
    EXPECT_EQ(platform::WindowsCommandLine({""}), R"("")");
}

#ifdef _WIN32
TEST(Elevation, WindowsReadsTheCommandLineBackAsTheSameArguments) {
    const std::vector<std::string> kArguments = {
        "--restarted-from", "1234", R"(C:\Images\card.img)", R"(C:\My Images\disk one.vhd)",
        R"(C:\odd"name.img)", R"(C:\folder with blank\)", R"(\\server\share\a b\)", "", "ends\\\\"};
    const std::wstring line = L"dunro-gui.exe " + platform::Widen(platform::WindowsCommandLine(kArguments));
    int count = 0;
    wchar_t** argv = ::CommandLineToArgvW(line.c_str(), &count);
    ASSERT_NE(argv, nullptr);
    ASSERT_EQ(count, static_cast<int>(kArguments.size()) + 1);
    for (size_t i = 0; i < kArguments.size(); ++i)
        EXPECT_EQ(platform::Narrow(argv[i + 1]), kArguments[i]);
    ::LocalFree(argv);
}
#endif

TEST(Elevation, WaitingForAProcessEndsWhenItIsGoneAndNotBefore) {
    // Process ids are below 2^22 on Linux and multiples of 4 on Windows.
    EXPECT_TRUE(platform::WaitForProcessEnd(0x7ffffffd, 5000));
    EXPECT_FALSE(platform::WaitForProcessEnd(platform::CurrentProcessId(), 50));
}
