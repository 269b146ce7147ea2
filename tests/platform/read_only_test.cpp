// A scanned volume is only ever opened for reading.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#ifndef _WIN32
#include <fcntl.h>
#endif

#include "platform/device.h"
#include "support/test_support.h"

namespace fs = std::filesystem;
using namespace testing_support;

namespace {
std::string Source(const std::string& relative) {
    std::ifstream in(std::string(DUNRO_SOURCE_DIR) + "/" + relative);
    return std::string(std::istreambuf_iterator<char>(in), {});
}
} // namespace

TEST(ReadOnly, TheDeviceIsOpenedReadOnly) {
#ifdef _WIN32
    GTEST_SKIP() << "the open flags are read from /proc; the Win32 side is checked by the source test below";
#else
    const std::string image = CorpusPath("ntfs-basic.img");
    if (!RequireFile(image))
        return;
    auto device = platform::VolumeDevice::Open(image);
    ASSERT_NE(device, nullptr);
    const fs::path target = fs::canonical(image);
    bool seen = false;
    for (const auto& entry : fs::directory_iterator("/proc/self/fd")) {
        std::error_code ec;
        if (fs::read_symlink(entry.path(), ec) != target)
            continue;
        std::ifstream info("/proc/self/fdinfo/" + entry.path().filename().string());
        std::string key, value;
        while (info >> key >> value) {
            if (key == "flags:") {
                const long flags = std::stol(value, nullptr, 8);
                EXPECT_EQ(flags & O_ACCMODE, O_RDONLY);
                seen = true;
            }
        }
    }
    EXPECT_TRUE(seen);
#endif
}

TEST(ReadOnly, NoOpenCallOfTheDeviceLayerAsksForWriting) {
    const std::string posix = Source("platform/posix/device.cpp");
    const std::string win32 = Source("platform/win32/device.cpp");
    ASSERT_FALSE(posix.empty());
    ASSERT_FALSE(win32.empty());
    EXPECT_NE(posix.find("O_RDONLY"), std::string::npos);
    for (const char* word : {"O_RDWR", "O_WRONLY", "O_CREAT", "O_TRUNC", "pwrite", "write("})
        EXPECT_EQ(posix.find(word), std::string::npos) << word;
    EXPECT_NE(win32.find("GENERIC_READ"), std::string::npos);
    for (const char* word : {"GENERIC_WRITE", "GENERIC_ALL", "OPEN_ALWAYS", "CREATE_", "WriteFile"})
        EXPECT_EQ(win32.find(word), std::string::npos) << word;
}
