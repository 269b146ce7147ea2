#include "cli/options.h"

#include <charconv>
#include <set>

#include "content/signatures.h"
#include "results/result_order.h"
#include "volume/records.h"

namespace cli {

namespace {

const char kMainUsage[] =
    "usage: dunro <command> [options]\n"
    "\n"
    "Finds deleted files on NTFS, FAT and exFAT volumes (drives or volume image files)\n"
    "and copies them back. A scanned volume is only ever read.\n"
    "\n"
    "commands:\n"
    "  drives     list the drives that hold NTFS, FAT or exFAT\n"
    "  partitions list the partitions of a disk or disk image\n"
    "  scan       list the deleted files of one or more volumes\n"
    "  recover    copy deleted files into a folder\n"
    "  show       print a found file's text or raw data\n"
    "\n"
    "Run 'dunro <command> --help' for a command's options.\n";

const char kScanOptions[] =
    "  --types LIST        kinds to list, a comma list of photos, videos, music,\n"
    "                      documents, archives, others (default: all); with --deep\n"
    "                      also formats to search for: jpg, png, gif, bmp, tif,\n"
    "                      cr2, nef, arw, dng, orf, rw2, pdf, zip, docx, xlsx,\n"
    "                      pptx, odt, ods, epub, mp4, mov, 3gp, m4a, heic, avi,\n"
    "                      wav, webp, ogg, 7z, doc, xls, ppt, sqlite, rtf, exe\n"
    "  --deep              search by file content too; a source with no readable\n"
    "                      file system is then searched whole\n"
    "  --folder PATH       only files in this folder of the volume and below it (\"/\"\n"
    "                      or \"\\\" between names); may be given more than once\n"
    "  --recycle-bin       files in the recycle bin ($RECYCLE.BIN); alone, only those\n"
    "  --name TEXT         names that contain TEXT, ignoring case\n"
    "  --ext .EXT          this extension only, ignoring case\n"
    "  --min-state STATE   excellent, good or poor (default: poor, that is all)\n"
    "  --sort KEY          name, path, state, size, date or preview\n"
    "  --desc              sort descending\n"
    "  --partition N       of a disk, only partition N (as 'dunro partitions' numbers\n"
    "                      them); may be given more than once\n"
    "  --search-partitions of a disk whose table is gone or leads to nothing\n"
    "                      readable, look for volumes at every 1 MiB boundary (read\n"
    "                      through once), not only where volumes usually start\n";

const std::string kScanUsage = std::string(
    "usage: dunro scan SOURCE... [options]\n"
    "\n"
    "Lists the deleted files found on each SOURCE: a drive (a block device such as\n"
    "/dev/sdb1, or C: on Windows), a volume image file, or a whole disk or disk\n"
    "image, whose partitions are each read as a volume.\n"
    "\n"
    "options:\n") + kScanOptions +
    "  --format FORMAT     table (default), json or csv\n"
    "\n"
    "Grades: Excellent - every cluster of the file is still free and no deleted file\n"
    "written after it took any of them; Good - the first 40 % or more is free;\n"
    "Poor - less, encrypted, or nothing can be told. Found by content: Excellent -\n"
    "the file's own checks confirm its end; Good - its structure gives the end;\n"
    "Poor - cut short or overwritten.\n";

const std::string kRecoverUsage = std::string(
    "usage: dunro recover SOURCE... --to DIR [options]\n"
    "\n"
    "Copies deleted files into DIR, all side by side, under their found names;\n"
    "clashing names become name(0).ext, name(1).ext, ... Without --id every file\n"
    "that the filters keep is recovered. A report of every file (where it lay,\n"
    "its SHA-256 and MD5, what became of it) is left in DIR as dunro-report.xml\n"
    "(DFXML) and dunro-report.csv.\n"
    "\n"
    "options:\n"
    "  --to DIR            the destination folder (must exist and have room)\n"
    "  --id N              recover file N of the scan's list; may be repeated\n"
    "  --keep-folders      put each file at DIR/VOLUME/FOLDERS/NAME, as it was found\n"
    "  --report FILE       write the report to FILE (and the CSV beside it)\n"
    "  --no-report         write no report\n"
    "  --allow-same-drive  allow a destination on a scanned drive (it may\n"
    "                      overwrite what is being recovered)\n") + kScanOptions +
    "  --format FORMAT     table (default) or json\n";

const char kShowUsage[] =
    "usage: dunro show SOURCE --id N (--text | --raw) [--partition N]... [--search-partitions] [--deep [--types LIST]]\n"
    "\n"
    "  --text   print the text of a text file or a Word document\n"
    "  --raw    write the file's data, as recovery reads it, to standard output\n"
    "  --deep   as for scan: ids of a deep scan need it (and its --types formats)\n";

const char kDrivesUsage[] =
    "usage: dunro drives [--format table|json]\n"
    "\n"
    "Lists the drives that hold NTFS, FAT or exFAT, with their captions and sizes.\n"
    "Reading raw devices needs root.\n";

const char kPartitionsUsage[] =
    "usage: dunro partitions SOURCE... [--search-partitions] [--format table|json]\n"
    "\n"
    "Lists what each disk, disk image or volume holds: for a disk, each partition's\n"
    "number, scheme (MBR or GPT), start and size in bytes, type, file system and\n"
    "label; a volume without a partition table is listed as one volume. A disk\n"
    "whose table is gone (or leads to nothing readable) is searched for volumes\n"
    "where they usually start (scheme \"found\"); --search-partitions looks at every\n"
    "1 MiB boundary of the whole disk.\n";

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
    if (command == "partitions")
        return kPartitionsUsage;
    return kMainUsage;
}

namespace {

// The arguments joined as a shell would take them back: quoted where needed.
std::string CommandLineOf(int argc, char** argv) {
    std::string line;
    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i)
            line += ' ';
        if (!arg.empty() && arg.find_first_of(" \t\n'\"\\$`") == std::string::npos) {
            line += arg;
            continue;
        }
        line += '\'';
        for (char c : arg)
            line += c == '\'' ? std::string("'\\''") : std::string(1, c);
        line += '\'';
    }
    return line;
}

} // namespace

std::optional<Options> ParseOptions(int argc, char** argv, std::string& error) {
    Options o;
    if (argc < 2) {
        error = "no command given";
        return std::nullopt;
    }
    o.command = argv[1];
    o.commandLine = CommandLineOf(argc, argv);
    if (o.command == "--help" || o.command == "-h" || o.command == "help") {
        o.command.clear();
        o.help = true;
        return o;
    }
    static const std::set<std::string> kCommands = {"drives", "partitions", "scan", "recover", "show"};
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
        } else if ((scanLike || o.command == "show") && arg == "--deep") {
            o.deep = true;
        } else if ((scanLike || o.command == "show") && arg == "--types") {
            if (!value(v))
                return std::nullopt;
            size_t start = 0;
            while (start <= v.size()) {
                size_t comma = v.find(',', start);
                std::string t = v.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
                static const std::set<std::string> kTypes = {"photos", "videos", "music", "documents", "archives", "others"};
                std::vector<std::string> format{t}, unknown;
                content::SignaturesNamed(format, &unknown);
                if (kTypes.count(t)) {
                    o.types.push_back(t);
                } else if (unknown.empty()) {
                    o.contentTypes.push_back(t);
                } else {
                    error = "unknown type '" + t + "' (photos, videos, music, documents, archives, others, or a format such as jpg)";
                    return std::nullopt;
                }
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
            // "poor" keeps every file, the ones never graded too.
            if (v == "excellent")
                o.minState = kStateExcellent;
            else if (v == "good")
                o.minState = kStateGood;
            else if (v == "poor")
                o.minState = kStateUnjudged;
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
        } else if (o.command == "recover" && arg == "--keep-folders") {
            o.keepFolders = true;
        } else if (o.command == "recover" && arg == "--report") {
            if (!value(o.reportFile))
                return std::nullopt;
        } else if (o.command == "recover" && arg == "--no-report") {
            o.report = false;
        } else if ((o.command == "recover" || o.command == "show") && arg == "--id") {
            if (!value(v))
                return std::nullopt;
            auto n = ParseNumber(v);
            if (!n) {
                error = "--id takes a file number";
                return std::nullopt;
            }
            o.ids.push_back(*n);
        } else if ((scanLike || o.command == "show") && arg == "--partition") {
            if (!value(v))
                return std::nullopt;
            auto n = ParseNumber(v);
            if (!n || *n < 1 || *n > UINT32_MAX) {
                error = "--partition takes a partition number";
                return std::nullopt;
            }
            o.partitions.push_back(static_cast<uint32_t>(*n));
        } else if ((scanLike || o.command == "show" || o.command == "partitions") && arg == "--search-partitions") {
            o.searchPartitions = true;
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
    if (!o.contentTypes.empty() && !o.deep) {
        error = "--types " + o.contentTypes[0] + " names a format to search for by content: it needs --deep";
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
