// The failing-drive seam: what a test asks to fail fails, and only that.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/device.h"

namespace {

std::vector<uint8_t> Pattern(size_t size) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<uint8_t>(i * 7 + 1);
    return bytes;
}

TEST(ReadFaults, ReadTouchingABadSectorFailsAfterTheBytesBeforeIt) {
    const auto image = Pattern(64 * 1024);
    auto plan = std::make_shared<platform::ReadFaultPlan>();
    plan->Failing.push_back({8192, 512});
    auto device = platform::VolumeDevice::FromMemory(image.data(), image.size(), plan);

    std::vector<uint8_t> buffer(16384, 0);
    uint32_t done = 0;
    EXPECT_FALSE(device->Read(buffer.data(), 16384, 0, nullptr, 0, done));
    EXPECT_EQ(done, 8192u);
    EXPECT_EQ(std::memcmp(buffer.data(), image.data(), 8192), 0);

    // Reads beside the bad sector, on either side, are whole.
    EXPECT_TRUE(device->Read(buffer.data(), 8192, 0, nullptr, 0, done));
    EXPECT_TRUE(device->Read(buffer.data(), 4096, 8704, nullptr, 0, done));
    EXPECT_EQ(std::memcmp(buffer.data(), image.data() + 8704, 4096), 0);
    EXPECT_FALSE(device->Read(buffer.data(), 1, 8703, nullptr, 0, done));
}

TEST(ReadFaults, SlowRangeHoldsOnlyTheReadsThatTouchIt) {
    const auto image = Pattern(8192);
    auto plan = std::make_shared<platform::ReadFaultPlan>();
    plan->Slow.push_back({4096, 512, 300});
    auto device = platform::VolumeDevice::FromMemory(image.data(), image.size(), plan);
    std::vector<uint8_t> buffer(4096);
    uint32_t done = 0;
    // The system's tick count moves in steps of up to 16 ms on Windows, so
    // the hold is measured with the fine clock and given that much slack.
    const auto elapsedMs = [](std::chrono::steady_clock::time_point since) {
        return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - since).count();
    };

    auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(device->Read(buffer.data(), 4096, 0, nullptr, 0, done));
    EXPECT_LT(elapsedMs(start), 150);
    start = std::chrono::steady_clock::now();
    EXPECT_TRUE(device->Read(buffer.data(), 512, 4096, nullptr, 0, done));
    EXPECT_GE(elapsedMs(start), 250);
}

TEST(ReadFaults, AHeldReadEndsWithItsDataThoughCancelledMeanwhile) {
    const auto image = Pattern(8192);
    auto plan = std::make_shared<platform::ReadFaultPlan>();
    plan->Slow.push_back({0, 8192, 300});
    auto device = platform::VolumeDevice::FromMemory(image.data(), image.size(), plan);
    std::vector<uint8_t> buffer(4096);
    uint32_t done = 0;
    std::atomic<bool> cancel{false};
    std::thread canceller([&cancel] {
        platform::SleepMs(100);
        cancel = true;
    });
    EXPECT_TRUE(device->Read(buffer.data(), 4096, 0, &cancel, 0, done));
    canceller.join();
    EXPECT_EQ(std::memcmp(buffer.data(), image.data(), 4096), 0);
    // A read not yet begun sees the cancel.
    EXPECT_FALSE(device->Read(buffer.data(), 4096, 0, &cancel, 0, done));
}

TEST(ReadFaults, PlanSetForAPathReachesDevicesOpenedFromIt) {
    const std::string path = std::string(DUNRO_BINARY_DIR) + "/read_faults_test.bin";
    const auto image = Pattern(4096);
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(image.data(), 1, image.size(), f);
    std::fclose(f);

    platform::SetReadFaults(path, {{{1024, 1}}, {}});
    auto faulty = platform::VolumeDevice::Open(path);
    platform::ClearReadFaults();
    auto healthy = platform::VolumeDevice::Open(path);
    ASSERT_TRUE(faulty && healthy);
    std::vector<uint8_t> buffer(4096);
    uint32_t done = 0;
    EXPECT_FALSE(faulty->Read(buffer.data(), 4096, 0, nullptr, 0, done));
    EXPECT_EQ(done, 1024u);
    EXPECT_TRUE(healthy->Read(buffer.data(), 4096, 0, nullptr, 0, done));
    std::remove(path.c_str());
}

} // namespace
