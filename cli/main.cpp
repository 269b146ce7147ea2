// dunro: finds deleted files on NTFS, FAT and exFAT volumes and copies them back.
#include <atomic>
#include <cstdio>

#include "cli/commands.h"
#include "cli/options.h"
#include "cli/partition_listing.h"
#include "platform/console.h"
#include "platform/folders.h"
#include "platform/memory.h"
#include "shell/language.h"
#include "volume/job_thread.h"
#include "volume/text.h"

int main(int argc, char** argv) {
    std::string error;
    auto options = cli::ParseOptions(argc, argv, error);
    if (!options) {
        std::fprintf(stderr, "dunro: %s\n\n%s", volume::PrintableText(error).c_str(), cli::UsageOf(argc > 1 ? argv[1] : ""));
        return cli::kExitUsage;
    }
    if (options->help) {
        std::fputs(cli::UsageOf(options->command), stdout);
        return cli::kExitOk;
    }
    // Human-readable output speaks the language chosen in the settings.
    static const TLanUse messages(platform::DataFolder());
    messages.Install();
    platform::TuneAllocatorForScans();
    // The same bytes on every platform: no line-end translation.
    platform::SetBinaryStdout();
    std::atomic<bool> interrupted{false};
    platform::CatchInterrupt(&interrupted);
    // The workers end their own jobs on errors; this is for this thread's
    // own work (printing a listing of millions, say): one line, not an abort.
    try {
        if (options->command == "drives")
            return cli::RunDrives(*options);
        if (options->command == "partitions")
            return cli::RunPartitions(*options);
        if (options->command == "scan")
            return cli::RunScan(*options, interrupted);
        if (options->command == "recover")
            return cli::RunRecover(*options, interrupted);
        return cli::RunShow(*options, interrupted);
    } catch (...) {
        const std::string_view reason = JobThread::ReasonOf(std::current_exception());
        std::fprintf(stderr, "dunro: %.*s\n", static_cast<int>(reason.size()), reason.data());
        return cli::kExitJobFailed;
    }
}
