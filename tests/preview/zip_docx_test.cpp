#include <gtest/gtest.h>

#include "preview/docx_text.h"
#include "preview/zip_reader.h"
#include "preview/zip_builder.h"

TEST(ZipReader, FindsEntriesIgnoringCaseAndSlashDirection) {
    auto zip = ZipBuilder().Add("[Content_Types].xml", "<x/>").Add("Word/Document.xml", "hello", false).Build();
    std::vector<uint8_t> out;
    ASSERT_TRUE(ExtractEntry(zip, out, "word\\document.xml", nullptr, kMaxZipBytes));
    EXPECT_EQ(std::string(out.begin(), out.end()), "hello");
    ZipEntry e = TAnalyZIPStream::FindEntry(zip, "word/DOCUMENT.xml", nullptr);
    EXPECT_TRUE(e.found);
    EXPECT_EQ(e.name, "Word/Document.xml");
    EXPECT_FALSE(ExtractEntry(zip, out, "word/missing.xml", nullptr, kMaxZipBytes));
}

TEST(ZipReader, DeflatedEntriesInflateAndAreChecked) {
    const std::string text(100000, 'a');
    auto zip = ZipBuilder().Add("a.txt", text).Build();
    std::vector<uint8_t> out;
    ASSERT_TRUE(ExtractEntry(zip, out, "a.txt", nullptr, kMaxZipBytes));
    EXPECT_EQ(out.size(), text.size());
    // A flipped data byte fails the inflate or the CRC.
    auto damaged = zip;
    damaged[40] ^= 0x55;
    EXPECT_FALSE(ExtractEntry(damaged, out, "a.txt", nullptr, kMaxZipBytes));
}

TEST(ZipReader, RecordsItCannotFollowEndTheWalk) {
    std::vector<uint8_t> out;
    const std::vector<uint8_t> notZip = {'M', 'Z', 0, 0, 1, 2, 3, 4};
    EXPECT_EQ(TAnalyZIPStream::Classify(notZip, 0), kZipUnknown);
    EXPECT_FALSE(ExtractEntry(notZip, out, "a", nullptr, kMaxZipBytes));
    // An entry with a data descriptor: zero sizes in its header; the one after it is out of reach.
    auto described = ZipBuilder().Add("first.txt", "one", true, 0x0008, -1, true).Add("second.txt", "two").Build();
    EXPECT_FALSE(ExtractEntry(described, out, "first.txt", nullptr, kMaxZipBytes));
    EXPECT_FALSE(ExtractEntry(described, out, "second.txt", nullptr, kMaxZipBytes));
    // ZIP64 sizes.
    auto zip64 = ZipBuilder().Add("big.bin", "data", false, 0, 0xFFFFFFFFll).Build();
    EXPECT_FALSE(ExtractEntry(zip64, out, "big.bin", nullptr, kMaxZipBytes));
    // A ZIP64 end record where an entry should be.
    std::vector<uint8_t> end64 = {0x50, 0x4B, 0x06, 0x06, 0, 0, 0, 0};
    EXPECT_EQ(TAnalyZIPStream::Classify(end64, 0), kZipUnknown);
}

TEST(ZipReader, BombsTruncationAndOversizeFailCleanly) {
    std::vector<uint8_t> out;
    // Claims 10 bytes but inflates to a megabyte: stops at what was promised.
    auto bomb = ZipBuilder().Add("bomb.xml", std::string(1 << 20, 'z'), true, 0, 10).Build();
    EXPECT_FALSE(ExtractEntry(bomb, out, "bomb.xml", nullptr, kMaxZipBytes));
    EXPECT_LE(out.capacity(), size_t{1} << 16);
    // Claims more than the limit.
    auto huge = ZipBuilder().Add("huge.xml", "x", true, 0, 200'000'000).Build();
    EXPECT_FALSE(ExtractEntry(huge, out, "huge.xml", nullptr, kMaxZipBytes));
    // Cut in the middle of the data.
    auto whole = ZipBuilder().Add("a.txt", std::string(5000, 'q'), false).Build();
    std::vector<uint8_t> cut(whole.begin(), whole.begin() + 100);
    EXPECT_FALSE(ExtractEntry(cut, out, "a.txt", nullptr, kMaxZipBytes));
    // A name that runs past the end of the archive.
    std::vector<uint8_t> longName(whole.begin(), whole.begin() + 30);
    longName[26] = 0xFF, longName[27] = 0xFF;
    EXPECT_FALSE(TAnalyZIPStream::FindEntry(longName, "a.txt", nullptr).found);
    // An archive over the limit is not walked at all.
    EXPECT_FALSE(ExtractEntry(whole, out, "a.txt", nullptr, whole.size() - 1));
}

TEST(ZipReader, NamesLongerThanTheOldBufferAreReadWhole) {
    const std::string name = std::string(300, 'n') + ".txt";
    auto zip = ZipBuilder().Add(name, "long", false).Build();
    std::vector<uint8_t> out;
    ASSERT_TRUE(ExtractEntry(zip, out, name, nullptr, kMaxZipBytes));
    EXPECT_EQ(std::string(out.begin(), out.end()), "long");
    EXPECT_FALSE(ExtractEntry(zip, out, std::string(300, 'n'), nullptr, kMaxZipBytes));
}

TEST(DocxText, ParagraphsRunsAndHyperlinks) {
    const std::string body =
        "<w:p><w:r><w:t>First</w:t></w:r></w:p>"
        "<w:p><w:pPr/></w:p>"
        "<w:p><w:pPr/><w:r><w:t xml:space=\"preserve\">Hello </w:t></w:r>"
        "<w:hyperlink><w:r><w:t>world</w:t></w:r></w:hyperlink><w:bookmarkStart/></w:p>"
        "<w:tbl><w:tr><w:tc><w:p><w:r><w:t>in a table</w:t></w:r></w:p></w:tc></w:tr></w:tbl>";
    auto zip = ZipBuilder().Add("word/document.xml", DocumentXml(body)).Build();
    std::vector<std::string> lines;
    ASSERT_TRUE(ExtractDocxText(zip, 200, lines, nullptr));
    EXPECT_EQ(lines, (std::vector<std::string>{"First", "", "Hello world"}));
}

TEST(DocxText, TheListStopsOnceItHoldsMoreThanTheLimit) {
    std::string body;
    for (int i = 0; i < 50; ++i)
        body += "<w:p><w:r><w:t>p" + std::to_string(i) + "</w:t></w:r></w:p>";
    auto zip = ZipBuilder().Add("word/document.xml", DocumentXml(body)).Build();
    std::vector<std::string> lines;
    ASSERT_TRUE(ExtractDocxText(zip, 10, lines, nullptr));
    EXPECT_EQ(lines.size(), 11u);
}

TEST(DocxText, BrokenOrMissingPartsFailCleanly) {
    std::vector<std::string> lines;
    auto broken = ZipBuilder().Add("word/document.xml", "<w:document><w:body><w:p>").Build();
    EXPECT_TRUE(ExtractDocxText(broken, 10, lines, nullptr));  // the part was there; it shows one blank line
    EXPECT_EQ(lines, std::vector<std::string>{" "});
    lines.clear();
    auto missing = ZipBuilder().Add("word/other.xml", "<x/>").Build();
    EXPECT_FALSE(ExtractDocxText(missing, 10, lines, nullptr));
    EXPECT_TRUE(lines.empty());
    // Another prefix for the same namespace yields no lines.
    auto otherPrefix = ZipBuilder()
                           .Add("word/document.xml",
                                "<x:document xmlns:x=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\">"
                                "<x:body><x:p><x:r><x:t>hidden</x:t></x:r></x:p></x:body></x:document>")
                           .Build();
    EXPECT_TRUE(ExtractDocxText(otherPrefix, 10, lines, nullptr));
    EXPECT_EQ(lines, std::vector<std::string>{" "});
    std::atomic<bool> cancel{true};
    lines.clear();
    auto good = ZipBuilder().Add("word/document.xml", DocumentXml("<w:p><w:r><w:t>x</w:t></w:r></w:p>")).Build();
    EXPECT_FALSE(ExtractDocxText(good, 10, lines, &cancel));
}
