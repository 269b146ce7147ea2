#include <gtest/gtest.h>

#include "volume/byte_reader.h"
#include "volume/text.h"

using namespace volume;

TEST(ByteReader, ReadsLittleEndianAndRefusesOutOfRange) {
    const uint8_t bytes[] = {0x01, 0x02, 0x03, 0x04, 0xFF, 0xF0};
    ByteReader r(bytes, sizeof bytes);
    EXPECT_EQ(r.u16(0), 0x0201);
    EXPECT_EQ(r.u32(0), 0x04030201u);
    EXPECT_FALSE(r.u32(3).has_value());
    EXPECT_FALSE(r.u64(0).has_value());
    EXPECT_FALSE(r.u8(6).has_value());
    EXPECT_FALSE(r.u8(SIZE_MAX).has_value());
    EXPECT_FALSE(r.Has(SIZE_MAX - 1, 4));
    // The two bytes 0x00 0xF0 as a signed run offset are -4096.
    const uint8_t delta[] = {0x00, 0xF0};
    EXPECT_EQ(ByteReader(delta, 2).iN(0, 2), -4096);
    EXPECT_EQ(r.iN(4, 1), -1);
    EXPECT_FALSE(r.iN(0, 0).has_value());
}

TEST(Text, Utf16DecodingJoinsSurrogatesAndReplacesLoneOnes) {
    const uint8_t pair[] = {0x3D, 0xD8, 0x00, 0xDE, 'A', 0};  // U+1F600 then A
    EXPECT_EQ(Utf16LeToUtf8(pair, 3), "\xF0\x9F\x98\x80" "A");
    const uint8_t lone[] = {0x3D, 0xD8, 'B', 0};
    EXPECT_EQ(Utf16LeToUtf8(lone, 2), "\xEF\xBF\xBD" "B");
    const uint8_t japanese[] = {0xE5, 0x65, 0x2C, 0x67};  // 日本
    EXPECT_EQ(Utf16LeToUtf8(japanese, 2), "日本");
}

TEST(Text, Windows1252MapsTheDeletedMarkToARing) {
    EXPECT_EQ(Windows1252ToUtf8("\xE5OO"), "åOO");
    EXPECT_EQ(Windows1252ToUtf8("\x80"), "€");
}

TEST(Text, CaseFoldingIsAsciiOnly) {
    EXPECT_TRUE(EqualsIgnoreCase("Photo.JPG", "photo.jpg"));
    EXPECT_FALSE(EqualsIgnoreCase("é", "É"));
    EXPECT_TRUE(StartsWithIgnoreCase("$Recycle.Bin\\x", "$RECYCLE"));
    EXPECT_TRUE(ContainsIgnoreCase("*.jpg|*.png|", "*.PNG|"));
    EXPECT_FALSE(EqualsIgnoreCase("@", "`"));  // differ in the case bit, yet are no letters
    EXPECT_FALSE(EqualsIgnoreCase("a.txt", "a.txT "));
}

TEST(Text, MapsKeyedIgnoringCaseFindEverySpelling) {
    // Texts that differ only in letter case must hash alike at every length,
    // across the eight-byte steps of the hash.
    const std::string word = "Holiday-Photos_2024.JPEG";
    IgnoreCaseHash hash;
    IgnoreCaseEqual equal;
    for (size_t n = 0; n <= word.size(); ++n) {
        const std::string mixed = word.substr(0, n);
        EXPECT_EQ(hash(mixed), hash(AsciiUpper(mixed))) << n;
        EXPECT_EQ(hash(mixed), hash(AsciiLower(mixed))) << n;
        EXPECT_TRUE(equal(mixed, AsciiLower(mixed)));
    }
    EXPECT_NE(hash(".jpg"), hash(".jpeg"));
    EXPECT_NE(hash(".ab"), hash(std::string_view(".ab\0", 4)));  // a shorter text is not padded into a longer one
}

TEST(Text, ComparisonUsesUtf16CodeUnits) {
    EXPECT_EQ(CompareTextUtf16("apple.txt", "Apple.TXT"), 0);
    EXPECT_LT(CompareTextUtf16("abc", "abcd"), 0);
    EXPECT_NE(CompareTextUtf16("é", "É"), 0);
    // U+FF5E sorts after a surrogate pair by code units (0xFF5E > 0xD83D), unlike by code points.
    EXPECT_GT(CompareTextUtf16("\xEF\xBD\x9E", "\xF0\x9F\x98\x80"), 0);
}

TEST(Text, TrimAndExtension) {
    EXPECT_EQ(TrimControls("\x01 name.txt \t"), "name.txt");
    EXPECT_EQ(TrimBlanks("  a b  "), "a b");
    EXPECT_EQ(ExtensionOf("photo.jpg"), ".jpg");
    EXPECT_EQ(ExtensionOf("archive.tar.gz"), ".gz");
    EXPECT_EQ(ExtensionOf("README"), "");
}

TEST(Text, PrintableTextEscapesControlsAndBrokenUtf8) {
    EXPECT_EQ(PrintableText("plain name.txt"), "plain name.txt");
    EXPECT_EQ(PrintableText("Données\\日本語 📷"), "Données\\日本語 📷");
    EXPECT_EQ(PrintableText("\x1b[2J\x07\x7f"), "\\x1B[2J\\x07\\x7F");
    EXPECT_EQ(PrintableText("a\xC2\x9B" "b\xC2\xA0"), "a\\u009Bb\xC2\xA0");  // C1 CSI; a no-break space stays
    // Stray, overlong and surrogate forms, and a cut sequence at the end.
    EXPECT_EQ(PrintableText("\xFF\xC0\xAF\xED\xA0\x80\xE6\x97"), "\\xFF\\xC0\\xAF\\xED\\xA0\\x80\\xE6\\x97");
    EXPECT_EQ(PrintableText("a\tb\r\nc\rd"), "a\\x09b\\x0D\\x0Ac\\x0Dd");
    EXPECT_EQ(PrintableText("a\tb\r\nc\rd", true), "a\tb\r\nc\\x0Dd");
}

TEST(Text, FolderPathsTakeEitherSeparatorAndTheSystemsOwn) {
    EXPECT_EQ(WithSeparator("Users\\Ann\\Documents\\", '/'), "Users/Ann/Documents/");
    EXPECT_EQ(WithSeparator("Users\\Ann\\Documents\\", '\\'), "Users\\Ann\\Documents\\");
    EXPECT_EQ(WithSeparator("", '/'), "");
    // Names in other scripts pass unchanged: a UTF-8 byte never equals the separator.
    EXPECT_EQ(WithSeparator("Fotos\\Plage \xC3\xA0 Nice\\", '/'), "Fotos/Plage \xC3\xA0 Nice/");
#ifdef _WIN32
    EXPECT_EQ(SystemPath("Users\\Ann\\"), "Users\\Ann\\");
#else
    EXPECT_EQ(SystemPath("Users\\Ann\\"), "Users/Ann/");
#endif
}
