// `dunro recover --keep-folders` end to end: the manifest's tree comes back
// byte-exact, and the DFXML report proves every copy against the image.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>

#include <pugixml.hpp>

#include "support/process.h"
#include "support/test_support.h"

namespace fs = std::filesystem;
using namespace testing_support;
using nlohmann::json;

namespace {

CommandResult Dunro(const std::string& args) { return RunProgram(DUNRO_BIN, SplitArguments(args), {"TZ=UTC"}); }

std::string Quote(const std::string& s) { return "'" + s + "'"; }

fs::path FreshDir(const std::string& name) {
    fs::path dir = fs::path(DUNRO_BINARY_DIR) / "scratch" / (name + "-" + ProcessTag());
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

std::vector<uint8_t> ReadWhole(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::vector<uint8_t> ReadImage(const std::string& image, uint64_t offset, uint64_t length) {
    std::ifstream in(PathOf(image), std::ios::binary);
    in.seekg(static_cast<std::streamoff>(offset));
    std::vector<uint8_t> bytes(length);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(length));
    bytes.resize(static_cast<size_t>(in.gcount()));
    return bytes;
}

// The folder below `dest` a recovered file's target lies in first.
std::string FirstFolder(const fs::path& dest, const std::string& target) {
    return shell::TextOf(*PathOf(target).lexically_relative(dest).begin());
}

bool IsReport(const fs::path& p) { return shell::TextOf(p.filename()).rfind("dunro-report", 0) == 0; }

struct Recovered {
    CommandResult run;
    json out;
};

Recovered RecoverKeepingFolders(const std::string& image, const fs::path& dest, const std::string& more = "") {
    Recovered r{Dunro("recover " + Quote(image) + " --to " + Quote(dest.string()) + " --keep-folders --format json " +
                      more),
                {}};
    if (r.run.exitCode == 0 || r.run.exitCode == 4)
        r.out = json::parse(r.run.out);
    return r;
}

} // namespace

TEST(KeepFoldersCli, TheManifestTreeComesBackByteExact) {
    for (const std::string name : {"ntfs-basic.img", "fat32-basic.img"}) {
        SCOPED_TRACE(name);
        const std::string image = CorpusPath(name);
        if (!RequireFile(image))
            continue;
        const fs::path dest = FreshDir("keep-" + name);
        const Recovered r = RecoverKeepingFolders(image, dest);
        ASSERT_FALSE(r.out.is_null()) << r.run.err;
        ASSERT_FALSE(r.out["files"].empty());
        const std::string volume = FirstFolder(dest, r.out["files"][0]["target"]);
        EXPECT_NE(volume.find(name), std::string::npos) << volume;
        // Beside the volume's folder only the report.
        for (const auto& entry : fs::directory_iterator(dest))
            EXPECT_TRUE(IsReport(entry.path()) || shell::TextOf(entry.path().filename()) == volume) << entry.path();
        int checked = 0;
        const json manifest = LoadManifest(name);
        for (const json& e : manifest["files"]) {
            if (e["type"] != "file" || !e.value("deleted", false) || e["size"] == 0 || !e.value("content_intact", false) ||
                e.value("fragmented", false))
                continue;
            const fs::path expected = dest / PathOf(volume) / PathOf(e["path"].get<std::string>());
            // FAT keeps some deleted files under their short names only.
            if (name[0] == 'f' && !fs::exists(expected))
                continue;
            SCOPED_TRACE(e["path"].get<std::string>());
            ASSERT_TRUE(fs::exists(expected));
            EXPECT_EQ(Sha256OfFile(shell::TextOf(expected)), e["sha256"].get<std::string>());
            ++checked;
        }
        EXPECT_GT(checked, 10);
        fs::remove_all(dest);
    }
}

TEST(KeepFoldersCli, AClashInsideOneFolderIsNumberedThere) {
    const std::string image = CorpusPath("ntfs-basic.img");
    if (!RequireFile(image))
        return;
    const fs::path dest = FreshDir("keep-clash");
    std::vector<fs::path> targets;
    for (int i = 0; i < 2; ++i) {
        const Recovered r = RecoverKeepingFolders(image, dest, "--id 0");
        ASSERT_EQ(r.run.exitCode, 0) << r.run.err;
        targets.push_back(PathOf(r.out["files"][0]["target"].get<std::string>()));
    }
    EXPECT_EQ(targets[0].parent_path(), targets[1].parent_path());
    EXPECT_EQ(targets[0].filename(), "beach.jpg");
    EXPECT_EQ(targets[1].filename(), "beach(0).jpg");
    const std::string relative = targets[0].parent_path().lexically_relative(dest).generic_string();
    ASSERT_NE(relative.find('/'), std::string::npos) << relative;
    EXPECT_EQ(relative.substr(relative.find('/')), "/Users/Ann/Pictures");
    fs::remove_all(dest);
}

// A folder named "../../.." and a file named "../../etc" land inside, and a
// link planted where the volume's folder goes is not followed.
TEST(KeepFoldersCli, HostileNamesAndAPlantedLinkStayInside) {
    const std::string source = CorpusPath("ntfs-basic.img");
    if (!RequireFile(source))
        return;
    const std::string image = CopyToTemp(source, "keep-hostile");
    std::string all;
    {
        std::ifstream in(PathOf(image), std::ios::binary);
        all.assign(std::istreambuf_iterator<char>(in), {});
    }
    for (const auto& [from, to] : {std::pair<std::u16string, std::u16string>{u"Pictures", u"../../.."},
                                   {u"beach.jpg", u"../../etc"}}) {
        const std::string needle(reinterpret_cast<const char*>(from.data()), from.size() * 2);
        const std::string replacement(reinterpret_cast<const char*>(to.data()), to.size() * 2);
        size_t count = 0;
        for (size_t at = all.find(needle); at != std::string::npos; at = all.find(needle, at + 1), ++count)
            all.replace(at, needle.size(), replacement);
        ASSERT_GT(count, 0u);
    }
    {
        std::ofstream out(PathOf(image), std::ios::binary);
        out.write(all.data(), static_cast<std::streamsize>(all.size()));
    }
    const fs::path dest = FreshDir("keep-hostile-destination");
    const fs::path first = dest / "first", second = dest / "second", outside = dest / "outside";
    fs::create_directories(first);
    fs::create_directories(second);
    fs::create_directories(outside);

    Recovered r = RecoverKeepingFolders(image, first, "--name etc");
    ASSERT_EQ(r.run.exitCode, 0) << r.run.err;
    ASSERT_EQ(r.out["files"].size(), 1u);
    const fs::path target = PathOf(r.out["files"][0]["target"].get<std::string>());
    const std::string volume = FirstFolder(first, r.out["files"][0]["target"]);
#ifdef _WIN32
    // Windows drops a name's trailing dots: the last one becomes a safe character instead.
    const char* upward = ".._.._._";
#else
    const char* upward = ".._.._..";
#endif
    EXPECT_EQ(target, first / PathOf(volume) / "Users" / "Ann" / upward / ".._.._etc");
    EXPECT_TRUE(fs::is_regular_file(target));

    std::error_code planted;
    fs::create_directory_symlink(outside, second / PathOf(volume), planted);
    if (planted) {  // Wine has no symbolic links to plant
        fs::remove_all(dest);
        fs::remove(PathOf(image));
        GTEST_SKIP() << "no symbolic link could be planted: " << planted.message();
    }
    r = RecoverKeepingFolders(image, second, "--name etc");
    ASSERT_EQ(r.run.exitCode, 0) << r.run.err;
    const fs::path moved = PathOf(r.out["files"][0]["target"].get<std::string>());
    EXPECT_EQ(moved.lexically_relative(second).begin()->string(), volume + "(0)");
    EXPECT_TRUE(fs::is_empty(outside));
    fs::remove_all(dest);
    fs::remove(PathOf(image));
}

// Every recovered file's hashes match the copy, and its byte runs read the
// copy's bytes back from the image (resident data excepted: NTFS patches its
// record's sector ends on disk).
TEST(KeepFoldersCli, TheReportsHashesAndByteRunsCheckOutAgainstTheImage) {
    for (const std::string name : {"ntfs-basic.img", "fat32-basic.img", "ntfs-fragmented.img"}) {
        SCOPED_TRACE(name);
        const std::string image = CorpusPath(name);
        if (!RequireFile(image))
            continue;
        const fs::path dest = FreshDir("report-" + name);
        const Recovered r = RecoverKeepingFolders(image, dest);
        ASSERT_FALSE(r.out.is_null()) << r.run.err;
        EXPECT_EQ(PathOf(r.out["report"].get<std::string>()), dest / "dunro-report.xml");
        // One declaration, at the very start, as strict readers (Python's among them) demand.
        std::ifstream raw(dest / "dunro-report.xml", std::ios::binary);
        const std::string text((std::istreambuf_iterator<char>(raw)), {});
        raw.close();  // Windows removes no file that is still open
        EXPECT_EQ(text.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>", 0), 0u);
        EXPECT_EQ(text.find("<?xml", 1), std::string::npos);
        pugi::xml_document doc;
        ASSERT_TRUE(doc.load_file((dest / "dunro-report.xml").c_str())) << "the report does not parse";
        const pugi::xml_node root = doc.child("dfxml");
        EXPECT_STREQ(root.child("creator").child("program").text().get(), "Dunro Data Recovery");
        EXPECT_NE(std::string(root.child("creator").child("execution_environment").child("command_line").text().get())
                      .find("--keep-folders"),
                  std::string::npos);
        EXPECT_EQ(PathOf(root.child("source").child("image_filename").text().get()), PathOf(image));
        size_t files = 0, proven = 0, runsRead = 0;
        for (const pugi::xml_node fo : root.child("volume").children("fileobject")) {
            ++files;
            if (std::string(fo.child("dunro:outcome").attribute("status").value()) != "recovered")
                continue;
            const fs::path copy = dest / PathOf(fo.child("dunro:written_name").text().get());
            SCOPED_TRACE(copy.string());
            const std::vector<uint8_t> bytes = ReadWhole(copy);
            ASSERT_EQ(std::to_string(bytes.size()), fo.child("filesize").text().get());
            std::map<std::string, std::string> digests;
            for (const pugi::xml_node h : fo.children("hashdigest"))
                digests[h.attribute("type").value()] = h.text().get();
            EXPECT_EQ(digests["sha256"], Sha256Of(bytes));
            EXPECT_EQ(digests["md5"], Md5Of(bytes));
            ++proven;
            std::vector<uint8_t> fromImage;
            bool comparable = true;
            for (const pugi::xml_node run : fo.child("byte_runs").children("byte_run")) {
                const uint64_t length = run.attribute("len").as_ullong();
                EXPECT_EQ(run.attribute("file_offset").as_ullong(), fromImage.size());
                if (run.attribute("type")) {
                    comparable = false;
                    break;
                }
                if (run.attribute("fill")) {
                    fromImage.resize(fromImage.size() + length, 0);
                    continue;
                }
                const auto piece = ReadImage(image, run.attribute("img_offset").as_ullong(), length);
                fromImage.insert(fromImage.end(), piece.begin(), piece.end());
            }
            if (!comparable)
                continue;
            EXPECT_TRUE(fromImage == bytes) << "the byte runs read other bytes";
            ++runsRead;
        }
        EXPECT_EQ(files, r.out["files"].size());
        EXPECT_GT(proven, 5u);
        EXPECT_GT(runsRead, 5u);
        // The CSV beside it: a header and a row per file.
        std::ifstream csv(dest / "dunro-report.csv");
        size_t lines = 0;
        for (std::string line; std::getline(csv, line);)
            ++lines;
        csv.close();
        EXPECT_EQ(lines, files + 1);
        fs::remove_all(dest);
    }
}

TEST(KeepFoldersCli, ReportGoesWhereToldOrNowhere) {
    const std::string image = CorpusPath("ntfs-basic.img");
    if (!RequireFile(image))
        return;
    const fs::path dest = FreshDir("report-where"), elsewhere = FreshDir("report-elsewhere");
    CommandResult run =
        Dunro("recover " + Quote(image) + " --to " + Quote(dest.string()) + " --id 0 --no-report --format json");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_FALSE(fs::exists(dest / "dunro-report.xml"));
    EXPECT_TRUE(json::parse(run.out)["report"].is_null());
    const fs::path named = elsewhere / "case-17.xml";
    run = Dunro("recover " + Quote(image) + " --to " + Quote(dest.string()) + " --id 0 --report " +
                Quote(named.string()));
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(fs::exists(named));
    EXPECT_TRUE(fs::exists(elsewhere / "case-17.csv"));
    EXPECT_FALSE(fs::exists(dest / "dunro-report.xml"));
    EXPECT_NE(run.out.find(named.string()), std::string::npos) << run.out;
    fs::remove_all(dest);
    fs::remove_all(elsewhere);
}
