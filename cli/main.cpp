// dunro: finds deleted files on NTFS and FAT32 volumes and copies them back.
#include <cstdio>
#include <cstring>

namespace {
const char kUsage[] =
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
} // namespace

int main(int argc, char** argv) {
    if (argc < 2 || !std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h")) {
        std::fputs(kUsage, argc < 2 ? stderr : stdout);
        return argc < 2 ? 2 : 0;
    }
    std::fprintf(stderr, "dunro: '%s' is not available yet\n", argv[1]);
    return 2;
}
