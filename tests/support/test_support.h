#pragma once
// Shared pieces of the tests: where the test volumes are, manifests, hashes.
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/read_faults.h"
#include "scan/message_sink.h"
#include "shell/text_file.h"
#include "scan/progress.h"
#include "scan/scan_selection.h"
#include "scan/disk.h"
#include "volume/file_type.h"

namespace testing_support {

std::string CorpusPath(const std::string& name);      // a corpus image, built by the fixture
std::string ReferencePath(const std::string& name);   // a reference image stored unpacked
std::string UnpackedPath(const std::string& name);    // a reference image the fixture unpacked
std::string DiskImagePath(const std::string& name);   // a whole-disk image (make-disk-images)

using shell::PathOf;

// Tells this test process's scratch files from those of others running at once.
std::string ProcessTag();

// Fails the current test (not skips) when the image is missing.
bool RequireFile(const std::string& path);
#ifndef _WIN32
// True when the test runs as root; otherwise a failure naming what needs it.
// `make test` runs as root, so a test that needs root never passes by skipping.
bool RequireRoot(const char* what);
#endif

nlohmann::json LoadManifest(const std::string& image);

std::string Sha256Of(const std::vector<uint8_t>& data);
std::string Md5Of(const std::vector<uint8_t>& data);
std::string Sha256OfFile(const std::string& path);

// A scan of one volume with everything selected, as the scan worker runs it.
struct ScanSetup {
    TUnDeleteProgress progress;
    TScanFileType types;
    TScanPath paths;
    CategoryList categories = MakeCategories();
    DiskList disks;
    TMyDisk* disk = nullptr;
    std::vector<TMyFile*> results;

    ScanSetup();
    ScanContext Context() { return ScanContext{&progress, &types, &paths}; }
    // Opens `source`, reads it and lists it. False when it is no usable volume.
    bool Run(const std::string& source);
    // The same with reads touching `failing` refused, as a drive with bad sectors refuses them.
    bool RunWithFailingReads(const std::string& source, std::vector<platform::ByteRange> failing);
};

// The data of a found file as recovery reads it; empty on failure.
bool ReadAll(const TMyFile& file, std::vector<uint8_t>& out);

// "Users\Ann\" -> "Users/Ann/", for comparing with manifest paths.
std::string SlashPath(const std::string& folderPath);

// A private copy of an image that a test may damage.
std::string CopyToTemp(const std::string& source, const std::string& name);

// Writes `bytes` over a file at `offset`.
void Patch(const std::string& path, int64_t offset, const std::vector<uint8_t>& bytes);

// A private copy of an NTFS corpus image in which each named MFT record's
// file name is spelled anew (the same number of UTF-16 units, every
// occurrence inside that record). Empty when a name is not found.
struct Rename {
    int64_t record;
    std::u16string from, to;
};
std::string RenamedCopy(const std::string& image, const std::string& tag, const std::vector<Rename>& renames);

// One entry of The Sleuth Kit's `fls -r -m /` listing of a volume: its path
// below the root ("Users/Bob", without " (deleted)"), its inode's number (an
// MFT record's on NTFS) and its creation time in Unix seconds.
struct FlsEntry {
    std::string path;
    int64_t inode = -1;
    int64_t created = 0;
};
// The listing of the volume at `sector` of `image`; empty where fls is missing (Windows).
std::vector<FlsEntry> FlsBodyListing(const std::string& image, uint64_t sector = 0);

// "a/b/c.txt" -> "a/b/" and "c.txt".
std::string Dirname(const std::string& path);
std::string Basename(const std::string& path);

// Keeps every message a worker posts.
struct RecordingSink : MessageSink {
    std::vector<unsigned> messages;
    std::mutex mutex;
    void post(unsigned msg, uintptr_t, intptr_t) override {
        std::lock_guard lock(mutex);
        messages.push_back(msg);
    }
};

} // namespace testing_support
