// The command line end to end, as scripts use it.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>

#include "support/ntfs_patch.h"
#include "support/process.h"
#include "support/test_support.h"
#include "volume/text.h"

namespace fs = std::filesystem;
using namespace testing_support;
using nlohmann::json;

namespace {

CommandResult Dunro(const std::string& args, std::vector<std::string> environment = {}) {
    environment.push_back("TZ=UTC");
    return RunProgram(DUNRO_BIN, SplitArguments(args), environment);
}

std::string Quote(const std::string& s) { return "'" + s + "'"; }

fs::path FreshDir(const std::string& name) {
    fs::path dir = fs::path(DUNRO_BINARY_DIR) / "scratch" / (name + "-" + ProcessTag());
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}


// UTC seconds of an ISO time such as 2022-11-10T21:23:06Z.
int64_t IsoSeconds(const std::string& iso) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, se = 0;
    std::sscanf(iso.c_str(), "%d-%d-%dT%d:%d:%dZ", &y, &mo, &d, &h, &mi, &se);
    const auto days = std::chrono::sys_days(std::chrono::year(y) / mo / d).time_since_epoch().count();
    return int64_t{days} * 86400 + h * 3600 + mi * 60 + se;
}

// Replaces every occurrence of one UTF-16 name by another of the same length
// in an image file; returns how many there were.
size_t RenameEverywhere(const std::string& image, const std::u16string& from, const std::u16string& to) {
    std::string all;
    {
        std::ifstream in(image, std::ios::binary);
        all.assign(std::istreambuf_iterator<char>(in), {});
    }
    const std::string needle(reinterpret_cast<const char*>(from.data()), from.size() * 2);
    const std::string replacement(reinterpret_cast<const char*>(to.data()), to.size() * 2);
    size_t count = 0;
    for (size_t at = all.find(needle); at != std::string::npos; at = all.find(needle, at + 1), ++count)
        all.replace(at, needle.size(), replacement);
    std::ofstream out(image, std::ios::binary);
    out.write(all.data(), static_cast<std::streamsize>(all.size()));
    return count;
}

// The bytes of a text that a terminal would act on: C0 controls other than a
// line end (Windows ends the lines of standard error with CR LF), DEL, and C1
// controls written in UTF-8. Empty when there are none.
std::string RawControls(const std::string& text) {
    std::string found;
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const bool c1 = c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) < 0xA0;
        const bool lineEnd = c == '\n' || (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n');
        if ((c < 0x20 && !lineEnd) || c == 0x7F || c1)
            found += "byte " + std::to_string(c) + " at " + std::to_string(i) + "; ";
    }
    return found;
}

} // namespace

TEST(Cli, ScanJsonMatchesTheNtfsManifest) {
    const std::string image = CorpusPath("ntfs-basic.img");
    if (!RequireFile(image))
        return;
    CommandResult run = Dunro("scan " + Quote(image) + " --format json");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    json out = json::parse(run.out);
    ASSERT_EQ(out["sources"].size(), 1u);
    EXPECT_EQ(out["sources"][0]["file_system"], "NTFS");
    EXPECT_EQ(out["sources"][0]["accepted"], out["files"].size());
    std::map<int64_t, json> byRecord;
    for (const json& f : out["files"])
        byRecord[f["record_no"].get<int64_t>()] = f;
    const json manifest = LoadManifest("ntfs-basic.img");
    for (const json& e : manifest["files"]) {
        if (e["type"] != "file" || !e.value("deleted", false) || !e.value("fls_listed", false) || e["size"] == 0)
            continue;
        SCOPED_TRACE(e["path"].get<std::string>());
        auto it = byRecord.find(e["mft_record"].get<int64_t>());
        ASSERT_NE(it, byRecord.end());
        EXPECT_EQ(it->second["name"], Basename(e["path"]));
        EXPECT_EQ(SlashPath(it->second["folder_path"]), Dirname(e["path"]));
        EXPECT_EQ(it->second["size"], e["size"]);
    }
    // The ids are positions in the scan's list, whatever the order shown.
    for (size_t i = 0; i < out["files"].size(); ++i)
        EXPECT_EQ(out["files"][i]["id"], i);
    CommandResult sorted = Dunro("scan " + Quote(image) + " --format json --sort size --desc --min-state excellent");
    json s = json::parse(sorted.out);
    for (size_t i = 1; i < s["files"].size(); ++i)
        EXPECT_GE(s["files"][i - 1]["size"].get<int64_t>(), s["files"][i]["size"].get<int64_t>());
    for (const json& f : s["files"])
        EXPECT_EQ(f["state"], "Excellent");
}

TEST(Cli, TypeFolderNameAndExtensionFilters) {
    const std::string image = CorpusPath("ntfs-basic.img");
    if (!RequireFile(image))
        return;
    json photos = json::parse(Dunro("scan " + Quote(image) + " --format json --types photos").out);
    ASSERT_FALSE(photos["files"].empty());
    for (const json& f : photos["files"])
        EXPECT_EQ(f["category"], "Photos");
    json bob = json::parse(Dunro("scan " + Quote(image) + " --format json --folder Users/Bob").out);
    ASSERT_FALSE(bob["files"].empty());
    for (const json& f : bob["files"])
        EXPECT_EQ(f["folder_path"].get<std::string>().rfind("Users\\Bob\\", 0), 0u);
    json txt = json::parse(Dunro("scan " + Quote(image) + " --format json --ext TXT --name NOTE").out);
    ASSERT_FALSE(txt["files"].empty());
    for (const json& f : txt["files"])
        EXPECT_NE(f["name"].get<std::string>().find("note"), std::string::npos);
    CommandResult csv = Dunro("scan " + Quote(image) + " --format csv --types music");
    EXPECT_EQ(csv.out.rfind("id,drive,name,folder_path,size,state,modified,record_no,category,preview_kind,encrypted\n", 0), 0u);
}

TEST(Cli, TheTableAndCsvWriteFoldersTheSystemsWayAndJsonKeepsBackslashes) {
    const std::string image = CorpusPath("ntfs-basic.img");
    if (!RequireFile(image))
        return;
    const std::string bob = volume::SystemPath("Users\\Bob\\");
    const std::string folder = " --folder Users/Bob";
    EXPECT_NE(Dunro("scan " + Quote(image) + folder).out.find(bob), std::string::npos);
    EXPECT_NE(Dunro("scan " + Quote(image) + folder + " --format csv").out.find("," + bob), std::string::npos);
    json files = json::parse(Dunro("scan " + Quote(image) + folder + " --format json").out)["files"];
    ASSERT_FALSE(files.empty());
    for (const json& f : files)
        EXPECT_EQ(f["folder_path"].get<std::string>().rfind("Users\\Bob\\", 0), 0u);
}

TEST(Cli, TypeAndFolderFiltersKeepTheIdsThatShowAndRecoverTake) {
    // --types and --folder pick from the whole scan: an id means the same
    // file whatever was filtered, and `show --id` reads that file.
    const std::string image = CorpusPath("ntfs-basic.img");
    if (!RequireFile(image))
        return;
    json all = json::parse(Dunro("scan " + Quote(image) + " --format json").out);
    std::map<int64_t, std::string> names;
    for (const json& f : all["files"])
        names[f["id"].get<int64_t>()] = f["folder_path"].get<std::string>() + f["name"].get<std::string>();
    for (const std::string filter : {" --types music", " --folder Users/Ann/Documents", " --types documents --folder Users"}) {
        SCOPED_TRACE(filter);
        json some = json::parse(Dunro("scan " + Quote(image) + " --format json" + filter).out);
        ASSERT_FALSE(some["files"].empty());
        ASSERT_LT(some["files"].size(), all["files"].size());
        for (const json& f : some["files"])
            EXPECT_EQ(names[f["id"].get<int64_t>()], f["folder_path"].get<std::string>() + f["name"].get<std::string>());
    }
    json music = json::parse(Dunro("scan " + Quote(image) + " --format json --types music").out);
    const int64_t id = music["files"][0]["id"].get<int64_t>();
    CommandResult raw = Dunro("show " + Quote(image) + " --raw --id " + std::to_string(id));
    EXPECT_EQ(raw.out.size(), music["files"][0]["size"].get<size_t>());
}

TEST(Cli, RecoverIsByteExactWithTimesAndLeavesTheSourceUnchanged) {
    for (const std::string name : {"ntfs-basic.img", "fat32-basic.img"}) {
        SCOPED_TRACE(name);
        const std::string image = CorpusPath(name);
        if (!RequireFile(image))
            continue;
        const std::string before = Sha256OfFile(image);
        fs::path dest = FreshDir("recover-" + name);
        json scan = json::parse(Dunro("scan " + Quote(image) + " --format json").out);
        CommandResult run = Dunro("recover " + Quote(image) + " --to " + Quote(dest.string()) + " --format json");
        ASSERT_TRUE(run.exitCode == 0 || run.exitCode == 4) << run.err;
        json out = json::parse(run.out);
        EXPECT_EQ(out["attempted"], scan["files"].size());
        std::map<std::string, json> byTarget;
        std::map<int64_t, json> byId;
        for (const json& f : out["files"])
            byId[f["id"].get<int64_t>()] = f;
        const json manifest = LoadManifest(name);
        int checked = 0;
        for (const json& e : manifest["files"]) {
            if (e["type"] != "file" || !e.value("deleted", false) || e["size"] == 0 || !e.value("content_intact", false) ||
                e.value("fragmented", false))
                continue;
            // Find the scan entry: NTFS by record, FAT by name and folder.
            const json* hit = nullptr;
            for (const json& f : scan["files"]) {
                const bool same = name[0] == 'n' ? f["record_no"] == e["mft_record"]
                                                 : f["name"] == Basename(e["path"]) &&
                                                       SlashPath(f["folder_path"]) == Dirname(e["path"]);
                if (same)
                    hit = &f;
            }
            if (!hit)
                continue;  // short-named FAT files, checked elsewhere
            SCOPED_TRACE(e["path"].get<std::string>());
            const json& result = byId[(*hit)["id"].get<int64_t>()];
            ASSERT_TRUE(result["ok"].get<bool>()) << result["error"];
            const std::string target = result["target"];
            EXPECT_EQ(PathOf(target).parent_path(), dest);
            EXPECT_EQ(Sha256OfFile(target), e["sha256"].get<std::string>());
            const auto mtime = fs::last_write_time(PathOf(target));
            const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(
                                     std::chrono::file_clock::to_sys(mtime).time_since_epoch())
                                     .count();
            EXPECT_NEAR(static_cast<double>(seconds), static_cast<double>(IsoSeconds(e["mtime"])), 2.0);
            ++checked;
        }
        EXPECT_GT(checked, 10);
        EXPECT_EQ(Sha256OfFile(image), before);
        fs::remove_all(dest);
    }
}

TEST(Cli, ClashingNamesAreNumbered) {
    const std::string image = CorpusPath("ntfs-basic.img");
    if (!RequireFile(image))
        return;
    fs::path dest = FreshDir("clash");
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(Dunro("recover " + Quote(image) + " --to " + Quote(dest.string()) + " --id 0").exitCode, 0);
    EXPECT_TRUE(fs::exists(dest / "beach.jpg"));
    EXPECT_TRUE(fs::exists(dest / "beach(0).jpg"));
    EXPECT_TRUE(fs::exists(dest / "beach(1).jpg"));
    fs::remove_all(dest);
}

TEST(Cli, HostileNamesRecoverInsideTheDestination) {
    const std::string source = CorpusPath("ntfs-basic.img");
    if (!RequireFile(source))
        return;
    const std::string image = CopyToTemp(source, "hostile");
    // Rename deleted "beach.jpg" (record 67) in its file-name attribute to "../../x.jpg"... as
    // far as nine UTF-16 units allow: "../..//x." keeps the length.
    std::vector<uint8_t> bytes;
    {
        std::ifstream in(image, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    const std::u16string from = u"beach.jpg", to = u"../../etc";
    const std::string needle(reinterpret_cast<const char*>(from.data()), from.size() * 2);
    const std::string replacement(reinterpret_cast<const char*>(to.data()), to.size() * 2);
    std::string all(bytes.begin(), bytes.end());
    size_t at = all.find(needle);
    ASSERT_NE(at, std::string::npos);
    size_t count = 0;
    while (at != std::string::npos) {
        all.replace(at, needle.size(), replacement);
        ++count;
        at = all.find(needle, at + 1);
    }
    {
        std::ofstream out(image, std::ios::binary);
        out.write(all.data(), static_cast<std::streamsize>(all.size()));
    }
    fs::path dest = FreshDir("hostile-destination");
    fs::path inside = dest / "inside";
    fs::create_directories(inside);
    CommandResult run = Dunro("recover " + Quote(image) + " --to " + Quote(inside.string()) + " --format json --name etc");
    ASSERT_EQ(run.exitCode, 0) << run.err << " (" << count << " names patched)";
    json out = json::parse(run.out);
    ASSERT_EQ(out["files"].size(), 1u);
    const std::string target = out["files"][0]["target"];
    EXPECT_EQ(PathOf(target).parent_path(), inside);
    EXPECT_EQ(PathOf(target).filename(), ".._.._etc");
    EXPECT_EQ(std::distance(fs::directory_iterator(dest), fs::directory_iterator()), 1);  // only "inside"
    fs::remove_all(dest);
    fs::remove(image);
}

TEST(Cli, BadSourcesExitWithThree) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {CorpusPath("no-such.img"), "no such file"},
        {std::string(DUNRO_CORPUS_DIR), "not a drive"},
        {CorpusPath("not-a-filesystem.img"), "neither NTFS, FAT nor exFAT"},
    };
    for (const auto& [source, reason] : cases) {
        CommandResult run = Dunro("scan " + Quote(source));
        EXPECT_EQ(run.exitCode, 3) << source;
        EXPECT_NE(run.err.find(reason), std::string::npos) << run.err;
        EXPECT_NE(run.err.find(source), std::string::npos) << run.err;
    }
    EXPECT_EQ(Dunro("scan").exitCode, 2);
    EXPECT_EQ(Dunro("scan x --types pictures").exitCode, 2);
    EXPECT_EQ(Dunro("frobnicate").exitCode, 2);
    EXPECT_EQ(Dunro("scan --help").exitCode, 0);
}

TEST(Cli, TruncatedImageScansAndReportsUnreadableData) {
    const std::string image = CorpusPath("truncated.img");
    if (!RequireFile(image))
        return;
    CommandResult scan = Dunro("scan " + Quote(image) + " --format json");
    ASSERT_EQ(scan.exitCode, 0) << scan.err;
    json files = json::parse(scan.out)["files"];
    if (files.empty())
        return;  // nothing of the MFT's deleted records survived the cut
    fs::path dest = FreshDir("truncated");
    CommandResult run = Dunro("recover " + Quote(image) + " --to " + Quote(dest.string()) + " --format json");
    json out = json::parse(run.out);
    for (const json& f : out["files"]) {
        if (!f["ok"].get<bool>()) {
            EXPECT_FALSE(f["error"].get<std::string>().empty());
        }
    }
    fs::remove_all(dest);
}

TEST(Cli, ShowWritesRawDataAndText) {
    const std::string image = CorpusPath("ntfs-basic.img");
    if (!RequireFile(image))
        return;
    json scan = json::parse(Dunro("scan " + Quote(image) + " --format json").out);
    const json& first = scan["files"][0];
    CommandResult raw = Dunro("show " + Quote(image) + " --id 0 --raw");
    ASSERT_EQ(raw.exitCode, 0);
    EXPECT_EQ(raw.out.size(), first["size"].get<size_t>());
    // A picture has no text; a text file's text is its content.
    CommandResult picture = Dunro("show " + Quote(image) + " --id 0 --text");
    EXPECT_EQ(picture.exitCode, 4);
    EXPECT_NE(picture.err.find("No Preview Available"), std::string::npos);
    for (const json& f : scan["files"]) {
        if (f["name"] != "notes.txt")
            continue;
        const std::string id = std::to_string(f["id"].get<int64_t>());
        CommandResult text = Dunro("show " + Quote(image) + " --id " + id + " --text");
        ASSERT_EQ(text.exitCode, 0);
        EXPECT_EQ(text.out, Dunro("show " + Quote(image) + " --id " + id + " --raw").out);
    }
}

TEST(Cli, RefusesADestinationThatDoesNotExist) {
    const std::string image = CorpusPath("ntfs-basic.img");
    if (!RequireFile(image))
        return;
    CommandResult run = Dunro("recover " + Quote(image) + " --to /nonexistent/folder");
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("The directory does not exist"), std::string::npos);
}

TEST(Cli, HumanOutputSpeaksTheChosenLanguageAndJsonStaysEnglish) {
#ifdef _WIN32
    GTEST_SKIP() << "the Windows data folder comes from the shell, not from XDG_CONFIG_HOME";
#endif
    const std::string image = CorpusPath("ntfs-basic.img");
    if (!RequireFile(image))
        return;
    fs::path config = FreshDir("config");
    fs::create_directories(config / "Dunro Data Recovery");
    std::ofstream(config / "Dunro Data Recovery" / "Main.ini") << "[Main]\nLanguage=Deutsch\n";
    const std::vector<std::string> env = {"XDG_CONFIG_HOME=" + config.string()};
    CommandResult table = Dunro("scan " + Quote(image), env);
    EXPECT_NE(table.out.find("Ausgezeichnet"), std::string::npos);
    EXPECT_NE(table.out.find("Dateiname"), std::string::npos);
    CommandResult js = Dunro("scan " + Quote(image) + " --format json", env);
    EXPECT_EQ(js.out.find("Ausgezeichnet"), std::string::npos);
    EXPECT_NE(js.out.find("\"Excellent\""), std::string::npos);
    EXPECT_NE(js.out.find("\"Photos\""), std::string::npos);
    CommandResult missing = Dunro("recover " + Quote(image) + " --to /nonexistent", env);
    EXPECT_NE(missing.err.find("Der Ordner existiert nicht"), std::string::npos);
    fs::remove_all(config);
}

TEST(Cli, NamesWithTerminalControlsArePrintedEscaped) {
    const std::string source = CorpusPath("ntfs-basic.img");
    if (!RequireFile(source))
        return;
    const std::string image = CopyToTemp(source, "escapes");
    // Deleted "Plage à Nice.jpg" renamed to hold ESC [ 2 J (clear the screen),
    // ESC ] 0 ; X BEL (retitle the window) and the C1 CSI.
    ASSERT_GT(RenameEverywhere(image, u"Plage \u00e0 Nice.jpg", u"P\x1b[2J\x1b]0;X\x07\x9b.jpg"), 0u);
    const std::string escaped = "P\\x1B[2J\\x1B]0;X\\x07\\u009B.jpg";

    json scan = json::parse(Dunro("scan " + Quote(image) + " --format json").out);
    std::string id;
    for (const json& f : scan["files"])
        if (f["name"] == "P\x1b[2J\x1b]0;X\x07\xC2\x9B.jpg")
            id = std::to_string(f["id"].get<int64_t>());
    ASSERT_FALSE(id.empty()) << "the renamed file is not listed";

    CommandResult table = Dunro("scan " + Quote(image));
    ASSERT_EQ(table.exitCode, 0) << table.err;
    EXPECT_EQ(RawControls(table.out), "");
    EXPECT_NE(table.out.find(escaped), std::string::npos);

    CommandResult csv = Dunro("scan " + Quote(image) + " --format csv");
    EXPECT_EQ(RawControls(csv.out), "");
    EXPECT_NE(csv.out.find(escaped), std::string::npos);

    // An error message that names the file.
    CommandResult text = Dunro("show " + Quote(image) + " --id " + id + " --text");
    EXPECT_EQ(text.exitCode, 4);
    EXPECT_EQ(RawControls(text.err), "");
    EXPECT_NE(text.err.find(escaped), std::string::npos) << text.err;

    // The recovery's report names the file and the file it wrote.
    fs::path dest = FreshDir("escapes-recovered");
    CommandResult recover = Dunro("recover " + Quote(image) + " --to " + Quote(dest.string()) + " --id " + id);
    EXPECT_EQ(recover.exitCode, 0) << recover.err;
    EXPECT_EQ(RawControls(recover.out), "");
    EXPECT_EQ(RawControls(recover.err), "");
    EXPECT_NE(recover.out.find(escaped), std::string::npos) << recover.out;
    fs::remove_all(dest);
    fs::remove(image);
}

TEST(Cli, EncryptedFileIsListedAsSuchAndNotRecovered) {
    PatchedNtfsImage image("ntfs-basic.img");
    if (!image.Ready())
        return;
    const int64_t beach = image.RecordOf("Users/Ann/Pictures/beach.jpg");
    ASSERT_TRUE(MarkDataEncrypted(image, beach));

    const json scan = json::parse(Dunro("scan " + Quote(image.Path()) + " --format json").out);
    std::string id;
    for (const json& f : scan["files"]) {
        const bool isBeach = f["record_no"] == beach;
        EXPECT_EQ(f["encrypted"].get<bool>(), isBeach) << f["name"];
        if (isBeach) {
            EXPECT_EQ(f["state"], "Poor");
            id = std::to_string(f["id"].get<int64_t>());
        }
    }
    ASSERT_FALSE(id.empty()) << "the encrypted file is not listed";
    EXPECT_NE(Dunro("scan " + Quote(image.Path()) + " --name beach").out.find("encrypted"), std::string::npos);

    // Ciphertext under the picture's name would pass for a recovered file.
    fs::path dest = FreshDir("encrypted-recovered");
    CommandResult recover = Dunro("recover " + Quote(image.Path()) + " --to " + Quote(dest.string()) + " --id " + id);
    EXPECT_EQ(recover.exitCode, 4);
    EXPECT_NE((recover.out + recover.err).find("encrypted"), std::string::npos) << recover.out << recover.err;
    for (const auto& entry : fs::directory_iterator(dest))
        EXPECT_EQ(entry.path().stem(), "dunro-report") << "written: " << entry.path();
    fs::remove_all(dest);
}
