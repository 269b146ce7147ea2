#include "support/test_support.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>
#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

#include "platform/drives.h"
#include "shell/text_file.h"
#include "support/hashes.h"
#include "support/process.h"
#include "volume/file_data.h"

namespace fs = std::filesystem;

namespace testing_support {

std::string ProcessTag() {
#ifdef _WIN32
    return std::to_string(_getpid());
#else
    return std::to_string(getpid());
#endif
}

std::string CorpusPath(const std::string& name) { return std::string(DUNRO_CORPUS_DIR) + "/" + name; }
std::string ReferencePath(const std::string& name) {
    return std::string(DUNRO_SHARED_DIR) + "/reference-images/" + name;
}
std::string UnpackedPath(const std::string& name) { return std::string(DUNRO_REFERENCE_UNPACKED) + "/" + name; }
std::string DiskImagePath(const std::string& name) { return std::string(DUNRO_DISKS_DIR) + "/" + name; }

bool RequireFile(const std::string& path) {
    if (fs::exists(path))
        return true;
    ADD_FAILURE() << "test volume missing: " << path << " (the corpus_images fixture builds it; it needs root and FUSE)";
    return false;
}

#ifndef _WIN32
bool RequireRoot(const char* what) {
    if (::geteuid() == 0)
        return true;
    ADD_FAILURE() << what << " needs root (make test installs its packages as root and runs as root)";
    return false;
}
#endif

nlohmann::json LoadManifest(const std::string& image) {
    std::ifstream in(CorpusPath(image + ".manifest.json"));
    return nlohmann::json::parse(in);
}

std::string Sha256Of(const std::vector<uint8_t>& data) { return Sha256Hex(data.data(), data.size()); }
std::string Md5Of(const std::vector<uint8_t>& data) { return Md5Hex(data.data(), data.size()); }

std::string Sha256OfFile(const std::string& path) {
    std::ifstream in(shell::PathOf(path), std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
    return Sha256Of(bytes);
}

ScanSetup::ScanSetup() {
    types.SelectAll();
}

bool ScanSetup::RunWithFailingReads(const std::string& source, std::vector<platform::ByteRange> failing) {
    platform::SetReadFaults(platform::CanonicalDriveName(source), {std::move(failing), {}});
    const bool ran = Run(source);
    platform::ClearReadFaults();
    return ran;
}

bool ScanSetup::Run(const std::string& source) {
    ScanContext context = Context();
    disk = DiskFor(disks, source, context);
    if (!disk)
        return false;
    paths.AddDriver(source);
    paths.AddWholeDriver(source);
    progress.ResetScan();
    disk->Enumerate();
    progress.FFoundCount = static_cast<uint32_t>(disk->Files.size());
    progress.BeginListing();
    disk->ListResults(&results, &categories);
    return true;
}

bool ReadAll(const TMyFile& file, std::vector<uint8_t>& out) {
    out.clear();
    auto status = volume::ReadFileData(file, [&out](std::span<const uint8_t> bytes, bool) {
        out.insert(out.end(), bytes.begin(), bytes.end());
        return true;
    });
    return status == volume::ReadStatus::Ok;
}

std::string SlashPath(const std::string& folderPath) {
    std::string s = folderPath;
    for (char& c : s)
        if (c == '\\')
            c = '/';
    return s;
}

std::string CopyToTemp(const std::string& source, const std::string& name) {
    fs::path dir = fs::path(DUNRO_BINARY_DIR) / "scratch";
    fs::create_directories(dir);
    fs::path target = dir / (name + "-" + ProcessTag());
    fs::copy_file(source, target, fs::copy_options::overwrite_existing);
    return target.string();
}

void Patch(const std::string& path, int64_t offset, const std::vector<uint8_t>& bytes) {
    std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(offset);
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::string RenamedCopy(const std::string& image, const std::string& tag, const std::vector<Rename>& renames) {
    const auto manifest = LoadManifest(image);
    const int64_t cluster = manifest["cluster_size"].get<int64_t>();
    const int64_t recordSize = manifest["mft_record_size"].get<int64_t>();
    const int64_t mft = manifest["mft_first_cluster"].get<int64_t>() * cluster;
    const std::string copy = CopyToTemp(CorpusPath(image), tag);
    auto utf16 = [](const std::u16string& text) {
        std::string bytes;
        for (char16_t c : text)
            bytes += static_cast<char>(c & 0xFF), bytes += static_cast<char>(c >> 8);
        return bytes;
    };
    for (const Rename& r : renames) {
        if (r.from.size() != r.to.size())
            return {};
        std::ifstream in(copy, std::ios::binary);
        std::string record(static_cast<size_t>(recordSize), '\0');
        in.seekg(mft + r.record * recordSize);
        in.read(record.data(), recordSize);
        const std::string from = utf16(r.from), to = utf16(r.to);
        int found = 0;
        for (size_t at = record.find(from); at != std::string::npos; at = record.find(from, at + to.size())) {
            record.replace(at, to.size(), to);
            ++found;
        }
        if (found == 0)
            return {};
        Patch(copy, mft + r.record * recordSize, std::vector<uint8_t>(record.begin(), record.end()));
    }
    return copy;
}

std::string Dirname(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

std::string Basename(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::vector<FlsEntry> FlsBodyListing(const std::string& image, uint64_t sector) {
    std::vector<FlsEntry> entries;
#ifndef _WIN32
    // "md5|/path|inode|mode|uid|gid|size|atime|mtime|ctime|crtime"
    const CommandResult run =
        RunProgram("/usr/bin/env", {"fls", "-r", "-m", "/", "-o", std::to_string(sector), image}, {"TZ=UTC"});
    std::istringstream lines(run.out);
    for (std::string line; std::getline(lines, line);) {
        std::vector<std::string> fields;
        std::istringstream split(line);
        for (std::string field; std::getline(split, field, '|');)
            fields.push_back(field);
        if (fields.size() != 11 || fields[1].size() < 2)
            continue;
        FlsEntry entry;
        entry.path = fields[1].substr(1);
        if (const size_t mark = entry.path.find(" (deleted"); mark != std::string::npos)
            entry.path.erase(mark);
        entry.inode = std::stoll(fields[2]);
        entry.created = std::stoll(fields[10]);
        entries.push_back(std::move(entry));
    }
#else
    (void)image;
    (void)sector;
#endif
    return entries;
}

} // namespace testing_support
