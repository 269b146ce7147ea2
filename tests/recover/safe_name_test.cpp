#include <gtest/gtest.h>

#include "recover/safe_name.h"

TEST(SafeFileName, NamesNeverLeaveTheFolder) {
    EXPECT_EQ(SafeFileName("../../etc/passwd", false), ".._.._etc_passwd");
    EXPECT_EQ(SafeFileName("..\\..\\boot.ini", false), ".._.._boot.ini");
    EXPECT_EQ(SafeFileName("..", false), "__");
    EXPECT_EQ(SafeFileName(".", false), "_");
    EXPECT_EQ(SafeFileName("", false), "unnamed");
    EXPECT_EQ(SafeFileName("a\nb\x01" "c.txt", false), "a_b_c.txt");
    EXPECT_EQ(SafeFileName(std::string("nul\0x", 5), false), "nul_x");
    EXPECT_EQ(SafeFileName("café au lait.gif", false), "café au lait.gif");
}

TEST(SafeFileName, WindowsRulesCoverDeviceNamesAndReservedCharacters) {
    EXPECT_EQ(SafeFileName("CON", true), "_CON");
    EXPECT_EQ(SafeFileName("com1.txt", true), "_com1.txt");
    EXPECT_EQ(SafeFileName("a:b*c?.txt", true), "a_b_c_.txt");
    EXPECT_EQ(SafeFileName("trailing. ", true), "trailing._");
    EXPECT_EQ(SafeFileName("CON", false), "CON");
    EXPECT_EQ(SafeFileName("a:b", false), "a:b");
}

TEST(SafeFileName, OverlongNamesKeepTheirExtension) {
    const std::string name = std::string(300, 'x') + ".jpg";
    const std::string safe = SafeFileName(name, false);
    EXPECT_LE(safe.size(), 240u);
    EXPECT_EQ(safe.substr(safe.size() - 4), ".jpg");
    // A multi-byte character is never split.
    std::string wide;
    for (int i = 0; i < 200; ++i)
        wide += "日";
    const std::string cut = SafeFileName(wide, false);
    EXPECT_EQ(cut.size() % 3, 0u);
}
