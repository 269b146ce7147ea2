#include "support/test_support.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>
#include <unistd.h>

#include "volume/file_data.h"

namespace fs = std::filesystem;

namespace testing_support {

std::string CorpusPath(const std::string& name) { return std::string(DUNRO_CORPUS_DIR) + "/" + name; }
std::string ReferencePath(const std::string& name) {
    return std::string(DUNRO_SHARED_DIR) + "/reference-images/" + name;
}
std::string UnpackedPath(const std::string& name) { return std::string(DUNRO_REFERENCE_UNPACKED) + "/" + name; }

bool RequireFile(const std::string& path) {
    if (fs::exists(path))
        return true;
    ADD_FAILURE() << "test volume missing: " << path << " (the corpus_images fixture builds it; it needs root and FUSE)";
    return false;
}

nlohmann::json LoadManifest(const std::string& image) {
    std::ifstream in(CorpusPath(image + ".manifest.json"));
    return nlohmann::json::parse(in);
}

namespace {
std::string HashWith(const char* tool, const std::string& path) {
    std::string command = std::string(tool) + " '" + path + "'";
    std::array<char, 256> line{};
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        if (fgets(line.data(), line.size(), p))
            out = line.data();
        pclose(p);
    }
    return out.substr(0, out.find(' '));
}

std::string HashOfData(const char* tool, const std::vector<uint8_t>& data) {
    char name[] = "/tmp/dunro-hash-XXXXXX";
    int fd = mkstemp(name);
    if (fd < 0)
        return {};
    size_t done = 0;
    while (done < data.size()) {
        ssize_t n = write(fd, data.data() + done, data.size() - done);
        if (n <= 0)
            break;
        done += static_cast<size_t>(n);
    }
    close(fd);
    std::string hash = HashWith(tool, name);
    unlink(name);
    return hash;
}
} // namespace

std::string Sha256Of(const std::vector<uint8_t>& data) { return HashOfData("sha256sum", data); }
std::string Md5Of(const std::vector<uint8_t>& data) { return HashOfData("md5sum", data); }
std::string Sha256OfFile(const std::string& path) { return HashWith("sha256sum", path); }

ScanSetup::ScanSetup() {
    types.SelectAll();
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
    fs::path target = dir / (name + "-" + std::to_string(getpid()));
    fs::copy_file(source, target, fs::copy_options::overwrite_existing);
    return target.string();
}

void Patch(const std::string& path, int64_t offset, const std::vector<uint8_t>& bytes) {
    std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(offset);
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::string Dirname(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

std::string Basename(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace testing_support
