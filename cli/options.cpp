#include "cli/options.h"

#include <charconv>
#include <set>

#include "scan/result_order.h"

namespace cli {

namespace {

const char kMainUsage[] =
    "usage: dunro <command> [options]\n"
    "\n"
    "Finds deleted files on NTFS and FAT32 volumes (drives or volume image files)\n"
    "and copies them back. A scanned volume is only ever read.\n"
    "\n"
    "commands:\n"
    "  drives     list the drives that hold NTFS or FAT32\n"
    "  scan       list the deleted files of one or more volumes\n"
    "  recover    copy deleted files into a folder\n"
    "  show       print a found file's text or raw data\n"
    "\n"
    "Run 'dunro <command> --help' for a command's options.\n";

const char kScanOptions[] =
    "  --types LIST        kinds to list, a comma list of photos, videos, music,\n"
    "                      documents, archives, others (default: all)\n"
    "  --folder PATH       only files in this folder of the volume and below it (\"/\"\n"
    "                      or \"\\\" between names); may be given more than once\n"
    "  --recycle-bin       files in the recycle bin ($RECYCLE.BIN); alone, only those\n"
    "  --name TEXT         names that contain TEXT, ignoring case\n"
    "  --ext .EXT          this extension only, ignoring case\n"
    "  --min-state STATE   excellent, good or poor (default: poor, that is all)\n"
    "  --sort KEY          name, path, state, size, date or preview\n"
    "  --desc              sort descending\n";

const std::string kScanUsage = std::string(
    "usage: dunro scan SOURCE... [options]\n"
    "\n"
    "Lists the deleted files found on each SOURCE: a drive (a block device such as\n"
    "/dev/sdb1, or C: on Windows) or a volume image file.\n"
    "\n"
    "options:\n") + kScanOptions +
    "  --format FORMAT     table (default), json or csv\n"
    "\n"
    "Grades: Excellent - every cluster of the file is still free and no deleted file\n"
    "written after it took any of them; Good - the first 40 % or more is free;\n"
    "Poor - less, encrypted, or nothing can be told.\n";

const std::string kRecoverUsage = std::string(
    "usage: dunro recover SOURCE... --to DIR [options]\n"
    "\n"
    "Copies deleted files into DIR, all side by side, under their found names;\n"
    "clashing names become name(0).ext, name(1).ext, ... Without --id every file\n"
    "that the filters keep is recovered.\n"
    "\n"
    "options:\n"
    "  --to DIR            the destination folder (must exist and have room)\n"
    "  --id N              recover file N of the scan's list; may be repeated\n"
    "  --allow-same-drive  allow a destination on a scanned drive (it may\n"
    "                      overwrite what is being recovered)\n") + kScanOptions +
    "  --format FORMAT     table (default) or json\n";

const char kShowUsage[] =
    "usage: dunro show SOURCE --id N (--text | --raw)\n"
    "\n"
    "  --text   print the text of a text file or a Word document\n"
    "  --raw    write the file's data, as recovery reads it, to standard output\n";

const char kDrivesUsage[] =
    "usage: dunro drives [--format table|json]\n"
    "\n"
    "Lists the drives that hold NTFS or FAT32, with their captions and sizes.\n"
    "Reading raw devices needs root.\n";

std::optional<int64_t> ParseNumber(const std::string& s) {
    int64_t v = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || end != s.data() + s.size() || v < 0)
        return std::nullopt;
    return v;
}

} // namespace

const char* UsageOf(const std::string& command) {
    if (command == "scan")
        return kScanUsage.c_str();
    if (command == "recover")
        return kRecoverUsage.c_str();
    if (command == "show")
        return kShowUsage;
    if (command == "drives")
        return kDrivesUsage;
    return kMainUsage;
}

std::optional<Options> ParseOptions(int argc, char** argv, std::string& error) {
    Options o;
    if (argc < 2) {
        error = "no command given";
        return std::nullopt;
    }
    o.command = argv[1];
    if (o.command == "--help" || o.command == "-h" || o.command == "help") {
        o.command.clear();
        o.help = true;
        return o;
    }
    static const std::set<std::string> kCommands = {"drives", "scan", "recover", "show"};
    if (!kCommands.count(o.command)) {
        error = "unknown command '" + o.command + "'";
        return std::nullopt;
    }
    const bool scanLike = o.command == "scan" || o.command == "recover";
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc) {
                error = arg + " needs a value";
                return false;
            }
            out = argv[++i];
            return true;
        };
        std::string v;
        if (arg == "--help" || arg == "-h") {
            o.help = true;
        } else if (arg == "--format") {
            if (!value(o.format))
                return std::nullopt;
        } else if (scanLike && arg == "--types") {
            if (!value(v))
                return std::nullopt;
            size_t start = 0;
            while (start <= v.size()) {
                size_t comma = v.find(',', start);
                std::string t = v.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
                static const std::set<std::string> kTypes = {"photos", "videos", "music", "documents", "archives", "others"};
                if (!kTypes.count(t)) {
                    error = "unknown type '" + t + "' (photos, videos, music, documents, archives, others)";
                    return std::nullopt;
                }
                o.types.push_back(t);
                if (comma == std::string::npos)
                    break;
                start = comma + 1;
            }
        } else if (scanLike && arg == "--folder") {
            if (!value(v))
                return std::nullopt;
            o.folders.push_back(v);
        } else if (scanLike && arg == "--recycle-bin") {
            o.recycleBin = true;
        } else if (scanLike && arg == "--name") {
            if (!value(v))
                return std::nullopt;
            o.name = v;
        } else if (scanLike && arg == "--ext") {
            if (!value(v))
                return std::nullopt;
            o.ext = v.empty() || v[0] == '.' ? v : "." + v;
        } else if (scanLike && arg == "--min-state") {
            if (!value(v))
                return std::nullopt;
            if (v == "excellent")
                o.minState = 3;
            else if (v == "good")
                o.minState = 2;
            else if (v == "poor")
                o.minState = 0;
            else {
                error = "--min-state takes excellent, good or poor";
                return std::nullopt;
            }
        } else if (scanLike && arg == "--sort") {
            if (!value(v))
                return std::nullopt;
            static const char* kKeys[] = {"name", "path", "state", "size", "date", "preview"};
            for (uint8_t k = 0; k < 6; ++k)
                if (v == kKeys[k])
                    o.sortKey = k;
            if (!o.sortKey) {
                error = "--sort takes name, path, state, size, date or preview";
                return std::nullopt;
            }
        } else if (scanLike && arg == "--desc") {
            o.descending = true;
        } else if (o.command == "recover" && arg == "--to") {
            if (!value(o.destination))
                return std::nullopt;
        } else if (o.command == "recover" && arg == "--allow-same-drive") {
            o.allowSameDrive = true;
        } else if ((o.command == "recover" || o.command == "show") && arg == "--id") {
            if (!value(v))
                return std::nullopt;
            auto n = ParseNumber(v);
            if (!n) {
                error = "--id takes a file number";
                return std::nullopt;
            }
            o.ids.push_back(*n);
        } else if (o.command == "show" && arg == "--text") {
            o.text = true;
        } else if (o.command == "show" && arg == "--raw") {
            o.raw = true;
        } else if (!arg.empty() && arg[0] == '-' && arg != "-") {
            error = "unknown option " + arg + " for " + o.command;
            return std::nullopt;
        } else {
            o.sources.push_back(arg);
        }
    }
    if (o.help)
        return o;
    const bool formatOk = o.format == "table" || o.format == "json" || (o.command == "scan" && o.format == "csv");
    if (!formatOk) {
        error = "unknown format '" + o.format + "'";
        return std::nullopt;
    }
    if (o.command == "drives" && !o.sources.empty()) {
        error = "drives takes no sources";
        return std::nullopt;
    }
    if (o.command != "drives" && o.sources.empty()) {
        error = "no SOURCE given";
        return std::nullopt;
    }
    if (o.command == "recover" && o.destination.empty()) {
        error = "recover needs --to DIR";
        return std::nullopt;
    }
    if (o.command == "show" && (o.sources.size() != 1 || o.ids.size() != 1 || o.text == o.raw)) {
        error = "show takes one SOURCE, one --id and either --text or --raw";
        return std::nullopt;
    }
    return o;
}

} // namespace cli
