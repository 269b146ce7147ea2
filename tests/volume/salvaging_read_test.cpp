// A read over bad sectors loses those sectors and nothing else.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "volume/salvaging_read.h"

namespace {

std::vector<uint8_t> Pattern(size_t size) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<uint8_t>(i * 13 + 5);
    return bytes;
}

TEST(SalvagingRead, OnlyTheBadSectorsAreZeroedListedAndCounted) {
    const auto image = Pattern(4u << 20);
    auto plan = std::make_shared<platform::ReadFaultPlan>();
    plan->Failing.push_back({1'000'000, 100});   // within sector 1953
    plan->Failing.push_back({3'000'000, 4096});  // spans 9 sectors
    auto device = std::make_unique<media::DeviceSource>(platform::VolumeDevice::FromMemory(image.data(), image.size(), plan));
    volume::ReadDamage damage;

    std::vector<uint8_t> buffer(image.size(), 0xEE);
    const auto result = volume::ReadSalvaging(device.get(), buffer.data(), static_cast<uint32_t>(buffer.size()), 0,
                                              nullptr, &damage);
    EXPECT_FALSE(result.Complete);
    ASSERT_EQ(result.Unreadable.size(), 2u);
    EXPECT_EQ(result.Unreadable[0].Offset, 1953u * 512);
    EXPECT_EQ(result.Unreadable[0].Length, 512u);
    EXPECT_EQ(result.Unreadable[1].Offset, 3'000'000u / 512 * 512);
    EXPECT_EQ(result.Unreadable[1].Length, 9u * 512);
    EXPECT_EQ(result.UnreadableBytes, 10u * 512);
    EXPECT_EQ(damage.UnreadableBytes.load(), 10u * 512);

    for (size_t i = 0; i < image.size(); ++i) {
        const bool lost = (i >= 1953 * 512 && i < 1954 * 512) || (i >= result.Unreadable[1].Offset &&
                                                                   i < result.Unreadable[1].Offset + 9 * 512);
        ASSERT_EQ(buffer[i], lost ? 0 : image[i]) << "at byte " << i;
    }
}

TEST(SalvagingRead, BytesPastTheEndOfTheSourceAreMissingNotDamaged) {
    const auto image = Pattern(8192);
    auto device = std::make_unique<media::DeviceSource>(platform::VolumeDevice::FromMemory(image.data(), image.size()));
    std::vector<uint8_t> buffer(4096, 0xEE);
    const auto result = volume::ReadSalvaging(device.get(), buffer.data(), 4096, 6144, nullptr, nullptr);
    EXPECT_FALSE(result.Complete);
    EXPECT_EQ(result.UnreadableBytes, 0u);
    EXPECT_EQ(result.PastEndBytes, 2048u);
    EXPECT_EQ(std::memcmp(buffer.data(), image.data() + 6144, 2048), 0);
    EXPECT_EQ(buffer[2048], 0);
}

} // namespace
