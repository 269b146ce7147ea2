// The deep scan of a FAT32 card whose boot sector and tables were zeroed:
// every file still whole comes back byte-exact, and the damaged ones are
// not presented as whole. The card and its manifest come from
// tests/support/make-content-images.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <vector>

#include <nlohmann/json.hpp>
#include <pugixml.hpp>

#include "support/process.h"
#include "support/test_support.h"

namespace fs = std::filesystem;
using nlohmann::json;
using testing_support::CommandResult;

namespace {

const std::string kCard = std::string(DUNRO_CONTENT_IMAGES_DIR) + "/content-fat32-raw.img";

CommandResult Dunro(const std::string& args) {
    return testing_support::RunProgram(DUNRO_BIN, testing_support::SplitArguments(args), {"TZ=UTC"});
}

json Manifest() {
    std::ifstream in(kCard + ".manifest.json");
    return json::parse(in);
}

// The deep scan's files by their byte offset.
std::map<int64_t, json> FoundByOffset(const json& scan) {
    std::map<int64_t, json> found;
    for (const json& f : scan["files"])
        found[f["offset"].get<int64_t>()] = f;
    return found;
}

} // namespace

TEST(DeepScan, ARawCardIsSearchedByContentOnlyWhenAsked) {
    if (!testing_support::RequireFile(kCard))
        return;
    const CommandResult plain = Dunro("scan '" + kCard + "'");
    EXPECT_EQ(plain.exitCode, 3) << plain.err;

    const CommandResult deep = Dunro("scan '" + kCard + "' --deep --format json");
    ASSERT_EQ(deep.exitCode, 0) << deep.err;
    EXPECT_NE(deep.err.find("searching it by content"), std::string::npos) << deep.err;
    const json scan = json::parse(deep.out);
    EXPECT_EQ(scan["sources"][0]["file_system"], "content") << scan["sources"][0].dump();
    for (const json& f : scan["files"]) {
        EXPECT_EQ(f["found_by"], "content");
        const std::string ext = fs::path(f["name"].get<std::string>()).extension().string().substr(1);
        EXPECT_EQ(f["folder_path"], "Found by content\\" + ext + "\\") << f.dump();
    }
}

TEST(DeepScan, FindsEveryFileOfTheCardWithItsKindAndGrade) {
    if (!testing_support::RequireFile(kCard))
        return;
    const CommandResult deep = Dunro("scan '" + kCard + "' --deep --format json");
    ASSERT_EQ(deep.exitCode, 0) << deep.err;
    const auto found = FoundByOffset(json::parse(deep.out));
    const json manifest = Manifest();
    for (const json& entry : manifest["files"]) {
        const int64_t offset = entry["offset"];
        auto it = found.find(offset);
        ASSERT_NE(it, found.end()) << entry["name"] << " at " << offset;
        const json& f = it->second;
        char name[32];
        std::snprintf(name, sizeof name, "f%07lld.", static_cast<long long>(offset / 512));
        EXPECT_EQ(f["name"], std::string(name) + entry["kind"].get<std::string>()) << entry["name"];
        if (entry["intact"].get<bool>()) {
            EXPECT_EQ(f["size"], entry["size"]) << entry["name"];
            EXPECT_NE(f["state"], "Poor") << entry["name"];
            // Their ends are checked: RAR's end block, the frames an MP3's Info
            // header counts, FLAC's sample count and the last frame's CRC.
            const std::string kind = entry["kind"];
            if (kind == "rar" || kind == "mp3" || kind == "flac") {
                EXPECT_EQ(f["state"], "Excellent") << entry["name"];
            }
        } else {
            // A file that is not whole is never shown as if it were.
            EXPECT_EQ(f["state"], "Poor") << entry["name"];
        }
        // The date a file keeps inside itself (EXIF, a movie header) is its time; others have none.
        const std::string kept = entry.value("modified_utc", "");
        EXPECT_EQ(f["modified"], kept.empty() ? "N/A" : kept) << entry["name"];
    }
}

TEST(DeepScan, RecoversEveryWholeFileByteExact) {
    if (!testing_support::RequireFile(kCard))
        return;
    const fs::path dest = fs::temp_directory_path() / ("dunro-deep-" + testing_support::ProcessTag());
    fs::remove_all(dest);
    fs::create_directories(dest);
    const CommandResult run = Dunro("recover '" + kCard + "' --deep --to '" + dest.string() + "' --format json");
    ASSERT_TRUE(run.exitCode == 0) << run.err;
    int exact = 0;
    const json manifest = Manifest();
    for (const json& entry : manifest["files"]) {
        if (!entry["intact"].get<bool>())
            continue;
        char name[32];
        std::snprintf(name, sizeof name, "f%07lld.", static_cast<long long>(entry["offset"].get<int64_t>() / 512));
        const fs::path copy = dest / (std::string(name) + entry["kind"].get<std::string>());
        ASSERT_TRUE(fs::exists(copy)) << copy;
        EXPECT_EQ(testing_support::Sha256OfFile(copy.string()), entry["sha256"]) << entry["name"];
        ++exact;
    }
    EXPECT_GE(exact, 25);
    // The report gives each copy the digests of the bytes written under its
    // name, though they are worked out while the files after it are written.
    pugi::xml_document report;
    ASSERT_TRUE(report.load_file((dest / "dunro-report.xml").c_str()));
    int proven = 0;
    for (const pugi::xml_node fo : report.child("dfxml").child("volume").children("fileobject")) {
        if (std::string(fo.child("dunro:outcome").attribute("status").value()) != "recovered") {
            EXPECT_FALSE(fo.child("hashdigest")) << "a copy not made has digests";
            continue;
        }
        const std::string written = fo.child("dunro:written_name").text().get();
        SCOPED_TRACE(written);
        std::ifstream in(dest / written, std::ios::binary);
        const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
        std::map<std::string, std::string> digests;
        for (const pugi::xml_node h : fo.children("hashdigest"))
            digests[h.attribute("type").value()] = h.text().get();
        EXPECT_EQ(digests["sha256"], testing_support::Sha256Of(bytes));
        EXPECT_EQ(digests["md5"], testing_support::Md5Of(bytes));
        ++proven;
    }
    EXPECT_GE(proven, exact);
    fs::remove_all(dest);
}

TEST(DeepScan, TypesLimitTheFormatsSearched) {
    if (!testing_support::RequireFile(kCard))
        return;
    const CommandResult deep = Dunro("scan '" + kCard + "' --deep --types png,docx --format json");
    ASSERT_EQ(deep.exitCode, 0) << deep.err;
    const json scan = json::parse(deep.out);
    ASSERT_FALSE(scan["files"].empty());
    for (const json& f : scan["files"]) {
        const std::string folder = f["folder_path"];
        // The ZIP signature finds every kind built on ZIP.
        EXPECT_TRUE(folder.find("\\png\\") != std::string::npos || folder.find("\\docx\\") != std::string::npos ||
                    folder.find("\\zip\\") != std::string::npos || folder.find("\\xlsx\\") != std::string::npos ||
                    folder.find("\\odt\\") != std::string::npos || folder.find("\\epub\\") != std::string::npos)
            << folder;
    }
    EXPECT_EQ(Dunro("scan '" + kCard + "' --deep --types tiffany").exitCode, 2);
    EXPECT_EQ(Dunro("scan '" + kCard + "' --types png").exitCode, 2);
}

// A card whose pictures lie in two pieces around a file the camera wrote in
// between (tests/support/make-content-images; istat gave each its runs).
TEST(DeepScan, PicturesInTwoPiecesComeBackWholeAndExcellentAndAnOverwrittenRestStaysPoor) {
    const std::string card = std::string(DUNRO_CONTENT_IMAGES_DIR) + "/two-pieces-fat32-raw.img";
    if (!testing_support::RequireFile(card))
        return;
    const fs::path dest = fs::temp_directory_path() / ("dunro-two-pieces-" + testing_support::ProcessTag());
    fs::remove_all(dest);
    fs::create_directories(dest);
    const CommandResult scan = Dunro("scan '" + card + "' --deep --format json");
    ASSERT_EQ(scan.exitCode, 0) << scan.err;
    const auto found = FoundByOffset(json::parse(scan.out));
    const CommandResult run = Dunro("recover '" + card + "' --deep --to '" + dest.string() + "' --format json");
    ASSERT_EQ(run.exitCode, 0) << run.err;

    std::ifstream in(card + ".manifest.json");
    const json manifest = json::parse(in);
    int twoPieces = 0;
    for (const json& entry : manifest["files"]) {
        const std::string kind = entry["kind"];
        if (kind == "txt")
            continue;  // no signature: only the picture around it is looked for
        const int64_t offset = entry["offset"];
        auto it = found.find(offset);
        ASSERT_NE(it, found.end()) << entry["name"] << " at " << offset;
        const json& f = it->second;
        if (!entry["intact"].get<bool>()) {
            EXPECT_EQ(f["state"], "Poor") << entry["name"];
            EXPECT_LT(f["size"].get<int64_t>(), entry["size"].get<int64_t>()) << entry["name"];
            continue;
        }
        EXPECT_EQ(f["state"], "Excellent") << entry["name"];
        EXPECT_EQ(f["size"], entry["size"]) << entry["name"];
        char name[32];
        std::snprintf(name, sizeof name, "f%07lld.%s", static_cast<long long>(offset / 512), kind.c_str());
        EXPECT_EQ(testing_support::Sha256OfFile((dest / name).string()), entry["sha256"]) << entry["name"];
        if (entry["runs"].size() == 2) {
            ++twoPieces;
            // The second piece was read as part of its picture, not listed again.
            EXPECT_EQ(found.count(entry["runs"][1][0].get<int64_t>()), 0u) << entry["name"];
        }
    }
    EXPECT_EQ(twoPieces, 2);
    fs::remove_all(dest);
}
