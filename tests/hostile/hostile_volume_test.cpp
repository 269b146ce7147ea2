// Hostile volumes made by patching real corpus images: the scan ends, memory
// stays bounded by the volume, and recovery writes only inside its folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "recover/destination.h"
#include "recover/recover_worker.h"
#include "support/test_support.h"

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

class Patched {
public:
    Patched(const std::string& image, const std::string& name) {
        path_ = CopyToTemp(CorpusPath(image), name);
        std::ifstream in(path_, std::ios::binary);
        bytes_.assign(std::istreambuf_iterator<char>(in), {});
    }
    ~Patched() { fs::remove(path_); }
    const std::string& Path() const { return path_; }
    std::vector<uint8_t>& Bytes() { return bytes_; }
    size_t Find(const std::vector<uint8_t>& needle, size_t from = 0) const {
        auto it = std::search(bytes_.begin() + static_cast<std::ptrdiff_t>(from), bytes_.end(), needle.begin(), needle.end());
        return it == bytes_.end() ? std::string::npos : static_cast<size_t>(it - bytes_.begin());
    }
    void Put(size_t at, const std::vector<uint8_t>& b) { std::copy(b.begin(), b.end(), bytes_.begin() + static_cast<std::ptrdiff_t>(at)); }
    void Save() {
        std::ofstream out(path_, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes_.data()), static_cast<std::streamsize>(bytes_.size()));
    }

private:
    std::string path_;
    std::vector<uint8_t> bytes_;
};

std::vector<uint8_t> Utf16(const std::u16string& s) {
    std::vector<uint8_t> out;
    for (char16_t c : s)
        out.push_back(static_cast<uint8_t>(c)), out.push_back(static_cast<uint8_t>(c >> 8));
    return out;
}

// Recovers every found file into <tmp>/inside and checks nothing lands elsewhere.
void RecoverInsideOnly(const std::string& image, const std::string& tag) {
    ScanSetup scan;
    ASSERT_TRUE(scan.Run(image));
    // A file claiming more than any disk holds would make the job too large to start.
    for (TMyFile* f : scan.results)
        f->Checked = f->FileSize < (int64_t{1} << 40);
    const fs::path root = fs::path(DUNRO_BINARY_DIR) / "scratch" / ("hostile-" + tag + "-" + ProcessTag());
    fs::remove_all(root);
    const fs::path inside = root / "inside";
    fs::create_directories(inside);
    TThreadRecover worker(scan.progress, nullptr);
    worker.FilePauseMs = 0;
    worker.PrepareJob(scan.results);
    ASSERT_EQ(CheckDestination(worker, inside.string()), DestinationVerdict::Ok);
    worker.Start();
    worker.WaitUntilDone();
    for (const auto& o : worker.Outcomes) {
        if (o.Ok) {
            EXPECT_EQ(PathOf(o.Target).parent_path(), inside) << o.Target;
            EXPECT_EQ(fs::file_size(PathOf(o.Target)), static_cast<uintmax_t>(o.File->FileSize));
        }
    }
    for (const auto& entry : fs::recursive_directory_iterator(root))
        EXPECT_TRUE(entry.path().parent_path() == inside || entry.path() == inside) << entry.path();
    fs::remove_all(root);
}

} // namespace

TEST(HostileNtfs, NamesNeverLeaveTheDestination) {
    if (!RequireFile(CorpusPath("ntfs-basic.img")))
        return;
    // Nine UTF-16 units each, the length of "beach.jpg" that they replace.
    const std::vector<std::u16string> names = {u"../../etc", u"..\\..\\x.j", u"a/b\\c.jpg", std::u16string(u"\0each.jpg", 9),
                                               u"\x01\x02\x1b\x7f.jpg.", u"CON.jpg  ", u"..       ", u"/        "};
    int n = 0;
    for (const auto& name : names) {
        Patched image("ntfs-basic.img", "ntfs-name-" + std::to_string(n));
        size_t at = image.Find(Utf16(u"beach.jpg"));
        ASSERT_NE(at, std::string::npos);
        image.Put(at, Utf16(name));
        image.Save();
        RecoverInsideOnly(image.Path(), "ntfs-" + std::to_string(n++));
    }
}

TEST(HostileFat, LongNamesWithSeparatorsAndControlsStayInside) {
    if (!RequireFile(CorpusPath("fat32-basic.img")))
        return;
    const std::vector<std::u16string> pieces = {u"../..", u"..\\..", std::u16string(u"\0\0\0\0\0", 5), u"\x01\x02/\x03\\"};
    int n = 0;
    for (const auto& piece : pieces) {
        Patched image("fat32-basic.img", "fat-name-" + std::to_string(n));
        // "Summer Holiday 2019.png": its first long-name piece holds "Summe".
        size_t at = image.Find(Utf16(u"Summe"));
        ASSERT_NE(at, std::string::npos);
        image.Put(at, Utf16(piece));
        image.Save();
        RecoverInsideOnly(image.Path(), "fat-" + std::to_string(n++));
    }
}

TEST(HostileNtfs, RunsAtZeroOrOutsideAndHugeSizes) {
    if (!RequireFile(CorpusPath("ntfs-basic.img")))
        return;
    const auto manifest = LoadManifest("ntfs-basic.img");
    const size_t mft = manifest["mft_first_cluster"].get<size_t>() * 4096;
    Patched image("ntfs-basic.img", "ntfs-runs");
    // beach.jpg (record 67): its run "21 2C 00 1A" now starts at cluster 0.
    size_t run = image.Find({0x21, 0x2C, 0x00, 0x1A}, mft + 67 * 1024);
    ASSERT_LT(run, mft + 68 * 1024);
    image.Put(run, {0x21, 0x2C, 0x00, 0x00});
    // cat.gif (record 69): a size near 2^63.
    const size_t cat = mft + 69 * 1024;
    size_t data = image.Find({0x80, 0x00, 0x00, 0x00}, cat + 56);
    ASSERT_LT(data, cat + 1024);
    image.Put(data + 48, {0xF0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F});
    image.Save();
    ScanSetup scan;
    ASSERT_TRUE(scan.Run(image.Path()));
    bool sawHuge = false;
    for (TMyFile* f : scan.results) {
        if (f->RecordNo == 69) {
            sawHuge = true;
            std::vector<uint8_t> out;
            EXPECT_FALSE(ReadAll(*f, out));  // the runs hold far less than the size claims
        }
    }
    EXPECT_TRUE(sawHuge);
    RecoverInsideOnly(image.Path(), "runs");
}

TEST(HostileNtfs, BitmapLargerThanTheVolumeAndAnMftThatOverlapsItself) {
    if (!RequireFile(CorpusPath("ntfs-basic.img")))
        return;
    const auto manifest = LoadManifest("ntfs-basic.img");
    const size_t mft = manifest["mft_first_cluster"].get<size_t>() * 4096;
    Patched image("ntfs-basic.img", "ntfs-bitmap");
    // $Bitmap (record 6): one run of 2^31 clusters, far past the volume.
    size_t bitmapRun = image.Find({0x21, 0x01, 0x07, 0x06}, mft + 6 * 1024);
    ASSERT_LT(bitmapRun, mft + 7 * 1024);
    image.Put(bitmapRun, {0x24, 0xFF, 0xFF, 0xFF, 0x7F, 0x07, 0x06, 0x00});
    // $MFT (record 0): its extent listed twice.
    size_t mftRun = image.Find({0x11, 0x27, 0x04, 0x00}, mft);
    ASSERT_LT(mftRun, mft + 1024);
    image.Put(mftRun, {0x11, 0x27, 0x04, 0x11, 0x27, 0x00, 0x00});
    image.Save();
    ScanSetup scan;
    ASSERT_TRUE(scan.Run(image.Path()));
    ASSERT_FALSE(scan.results.empty());
    for (TMyFile* f : scan.results)
        if (f->Runs.empty() || f->Runs[0].OnVolume) {
            EXPECT_NE(f->State, kStateExcellent) << "no bitmap was loaded, so nothing can be Excellent";
        }
}
