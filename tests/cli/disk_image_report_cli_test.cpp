// A recovery from one partition of a whole-disk image, kept in folders: the
// report names the image as the user named it, how it holds the disk and
// where the partition starts, and every byte run reads the copy's bytes back
// from the disk (for a split image or a container, from the disk they hold).
#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <map>
#include <sstream>

#include <pugixml.hpp>

#include "media/container.h"
#include "support/process.h"
#include "support/test_support.h"

namespace fs = std::filesystem;
using namespace testing_support;
using nlohmann::json;

namespace {

CommandResult Dunro(const std::vector<std::string>& args) { return RunProgram(DUNRO_BIN, args, {"TZ=UTC"}); }

std::vector<uint8_t> ReadWhole(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::vector<uint8_t> ReadAt(std::ifstream& disk, uint64_t offset, uint64_t length) {
    disk.clear();
    disk.seekg(static_cast<std::streamoff>(offset));
    std::vector<uint8_t> bytes(length);
    disk.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(length));
    bytes.resize(static_cast<size_t>(disk.gcount()));
    return bytes;
}

struct Case {
    const char* image;      // as named on the command line
    media::ContainerFormat format;
    const char* space;      // what the report says its offsets count
    uint32_t partition;
    uint64_t sector;        // where make-disk-images laid it
    const char* volume;     // the corpus volume laid there
};

// Every partition of the raw disk that holds files, the fragmented NTFS in
// pieces that reads cross, and the E01 and VHDX of the same disk.
const Case kCases[] = {
    {"mbr-disk.img", media::ContainerFormat::Raw, "image", 1, 2048, "ntfs-basic.img"},
    {"mbr-disk.img", media::ContainerFormat::Raw, "image", 5, 102400, "fat32-basic.img"},
    {"mbr-disk.img", media::ContainerFormat::Raw, "image", 6, 202752, "ntfs-fragmented.img"},
    {"mbr-split.img.001", media::ContainerFormat::Split, "joined pieces", 6, 202752, "ntfs-fragmented.img"},
    {"mbr-disk.E01", media::ContainerFormat::Ewf, "media", 1, 2048, "ntfs-basic.img"},
    {"mbr-disk.E01", media::ContainerFormat::Ewf, "media", 5, 102400, "fat32-basic.img"},
    {"mbr-disk.vhdx", media::ContainerFormat::Vhdx, "media", 6, 202752, "ntfs-fragmented.img"},
};

bool IsNtfs(const Case& c) { return std::string(c.volume).rfind("ntfs", 0) == 0; }

#ifndef _WIN32
int64_t UnixSecondsOf(const std::string& iso) {
    std::tm tm{};
    std::istringstream in(iso);
    in >> std::get_time(&tm, "%Y-%m-%dT%H:%M:%SZ");
    return in.fail() ? -1 : static_cast<int64_t>(timegm(&tm));
}
#endif

} // namespace

TEST(DiskImageReportCli, APartitionsReportNamesTheImageItsContainerAndOffsetAndItsRunsReadBack) {
    const std::string raw = DiskImagePath("mbr-disk.img");
    if (!RequireFile(raw))
        return;
    for (const Case& c : kCases) {
        const std::string image = DiskImagePath(c.image);
        SCOPED_TRACE(std::string(c.image) + " partition " + std::to_string(c.partition));
        if (!fs::exists(PathOf(image)) || !media::ContainerReadable(c.format))
            continue;  // no ewfacquire or qemu-img where the disks were made, or a build without the library
        const uint64_t offset = c.sector * 512;
        const fs::path dest = fs::path(DUNRO_BINARY_DIR) / "scratch" /
                              ("disk-report-" + std::to_string(&c - kCases) + "-" + ProcessTag());
        fs::remove_all(dest);
        fs::create_directories(dest);
        CommandResult run = Dunro({"recover", image, "--partition", std::to_string(c.partition), "--to", dest.string(),
                                   "--keep-folders", "--format", "json"});
        ASSERT_TRUE(run.exitCode == 0 || run.exitCode == 4) << run.err;
        const json out = json::parse(run.out);

        pugi::xml_document doc;
        ASSERT_TRUE(doc.load_file((dest / "dunro-report.xml").c_str())) << "the report does not parse";
        const pugi::xml_node root = doc.child("dfxml");
        ASSERT_EQ(std::distance(root.children("source").begin(), root.children("source").end()), 1);
        const pugi::xml_node source = root.child("source");
        EXPECT_EQ(PathOf(source.child("image_filename").text().get()), PathOf(image));
        EXPECT_STREQ(source.child("dunro:container").text().get(), media::ContainerName(c.format));
        EXPECT_STREQ(source.child("dunro:img_offsets").attribute("space").value(), c.space);
        ASSERT_EQ(std::distance(root.children("volume").begin(), root.children("volume").end()), 1);
        const pugi::xml_node volume = root.child("volume");
        EXPECT_EQ(volume.attribute("offset").as_ullong(), offset);
        EXPECT_EQ(volume.child("partition_offset").text().as_ullong(), offset);

#ifndef _WIN32
        // NTFS names its files by record number, as the report's inode does.
        std::map<int64_t, int64_t> created;
        if (c.format == media::ContainerFormat::Raw && IsNtfs(c))
            for (const FlsEntry& e : FlsBodyListing(raw, c.sector))
                created[e.inode] = e.created;
        size_t createdChecked = 0;
#endif
        std::ifstream disk(PathOf(raw), std::ios::binary);
        std::string volumeFolder;
        size_t proven = 0, runsRead = 0;
        for (const pugi::xml_node fo : volume.children("fileobject")) {
            if (std::string(fo.child("dunro:outcome").attribute("status").value()) != "recovered")
                continue;
            const std::string written = fo.child("dunro:written_name").text().get();
            SCOPED_TRACE(written);
            // Kept in folders: below the partition's own folder, along its original path.
            const fs::path relative = PathOf(written);
            if (volumeFolder.empty())
                volumeFolder = shell::TextOf(*relative.begin());
            EXPECT_EQ(shell::TextOf(*relative.begin()), volumeFolder);
            const std::vector<uint8_t> bytes = ReadWhole(dest / relative);
            ASSERT_EQ(std::to_string(bytes.size()), fo.child("filesize").text().get());
            for (const pugi::xml_node h : fo.children("hashdigest")) {
                if (std::string(h.attribute("type").value()) == "sha256") {
                    EXPECT_EQ(h.text().get(), Sha256Of(bytes));
                }
            }
            ++proven;
#ifndef _WIN32
            // Linux cannot give the copy its creation time: the report keeps it.
            if (auto t = created.find(fo.child("inode").text().as_llong(-1)); t != created.end() && t->second > 0) {
                EXPECT_EQ(UnixSecondsOf(fo.child("crtime").text().get()), t->second);
                ++createdChecked;
            }
#endif
            std::vector<uint8_t> fromDisk;
            bool comparable = true;
            for (const pugi::xml_node r : fo.child("byte_runs").children("byte_run")) {
                const uint64_t length = r.attribute("len").as_ullong();
                if (r.attribute("type")) {  // resident or compressed: not the copy's bytes as they lie
                    comparable = false;
                    break;
                }
                if (r.attribute("fill")) {
                    fromDisk.resize(fromDisk.size() + length, 0);
                    continue;
                }
                EXPECT_EQ(r.attribute("img_offset").as_ullong(), offset + r.attribute("fs_offset").as_ullong());
                const auto piece = ReadAt(disk, r.attribute("img_offset").as_ullong(), length);
                fromDisk.insert(fromDisk.end(), piece.begin(), piece.end());
            }
            if (!comparable)
                continue;
            EXPECT_TRUE(fromDisk == bytes) << "the byte runs read other bytes from the disk";
            ++runsRead;
        }
        const auto recovered = std::count_if(out["files"].begin(), out["files"].end(),
                                             [](const json& f) { return f["ok"].get<bool>(); });
        EXPECT_EQ(proven, static_cast<size_t>(recovered));
        EXPECT_GT(runsRead, 3u);
#ifndef _WIN32
        if (!created.empty()) {
            EXPECT_GT(createdChecked, 3u);
        }
#endif
        // The manifest's deleted files are where their paths say, below the partition's folder.
        size_t placed = 0;
        const json manifest = LoadManifest(c.volume);
        for (const json& e : manifest["files"]) {
            // A deleted FAT file whose chain is gone comes back as if it lay in one piece.
            if (e["type"] != "file" || !e.value("deleted", false) || e["size"] == 0 ||
                !e.value("content_intact", false) || (!IsNtfs(c) && e.value("fragmented", false)))
                continue;
            const fs::path expected = dest / PathOf(volumeFolder) / PathOf(e["path"].get<std::string>());
            if (!IsNtfs(c) && !fs::exists(expected))
                continue;  // FAT keeps some deleted files under their short names only
            SCOPED_TRACE(e["path"].get<std::string>());
            ASSERT_TRUE(fs::exists(expected));
            EXPECT_EQ(Sha256OfFile(shell::TextOf(expected)), e["sha256"].get<std::string>());
            ++placed;
        }
        EXPECT_GT(placed, 3u);
        disk.close();  // Windows removes no folder with a file open below it
        fs::remove_all(dest);
    }
}

// Files from two partitions of one disk: the disk is one source, each
// partition a volume at its own offset, and each volume's runs lie in it.
TEST(DiskImageReportCli, TwoPartitionsOfOneDiskAreOneSourceWithTwoVolumes) {
    const std::string disk = DiskImagePath("mbr-disk.img");
    if (!RequireFile(disk))
        return;
    const fs::path dest = fs::path(DUNRO_BINARY_DIR) / "scratch" / ("disk-report-two-" + ProcessTag());
    fs::remove_all(dest);
    fs::create_directories(dest);
    CommandResult run = Dunro({"recover", disk, "--partition", "1", "--partition", "5", "--to", dest.string(),
                               "--keep-folders"});
    ASSERT_TRUE(run.exitCode == 0 || run.exitCode == 4) << run.err;
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_file((dest / "dunro-report.xml").c_str()));
    const pugi::xml_node root = doc.child("dfxml");
    EXPECT_EQ(std::distance(root.children("source").begin(), root.children("source").end()), 1);
    std::map<uint64_t, std::string> volumes;
    std::ifstream image(PathOf(disk), std::ios::binary);
    for (const pugi::xml_node v : root.children("volume")) {
        const uint64_t offset = v.attribute("offset").as_ullong();
        volumes[offset] = v.child("ftype_str").text().get();
        size_t read = 0;
        for (const pugi::xml_node fo : v.children("fileobject")) {
            const pugi::xml_node r = fo.child("byte_runs").child("byte_run");
            if (std::string(fo.child("dunro:outcome").attribute("status").value()) != "recovered" || !r ||
                r.attribute("type") || r.attribute("fill"))
                continue;
            const uint64_t length = std::min<uint64_t>(r.attribute("len").as_ullong(), 4096);
            EXPECT_EQ(r.attribute("img_offset").as_ullong(), offset + r.attribute("fs_offset").as_ullong());
            std::vector<uint8_t> copy = ReadWhole(dest / PathOf(fo.child("dunro:written_name").text().get()));
            copy.resize(std::min<size_t>(copy.size(), length));
            EXPECT_TRUE(ReadAt(image, r.attribute("img_offset").as_ullong(), copy.size()) == copy)
                << fo.child("filename").text().get();
            ++read;
        }
        EXPECT_GT(read, 3u) << offset;
    }
    const std::map<uint64_t, std::string> expected = {{2048u * 512, "NTFS"}, {102400u * 512, "FAT32"}};
    EXPECT_EQ(volumes, expected);
    image.close();
    fs::remove_all(dest);
}
