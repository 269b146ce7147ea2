#include "support/ntfs_patch.h"

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace testing_support {

namespace {
// The fewest little-endian bytes that hold `v` as an unsigned (or, when
// `isSigned`, a two's complement) number.
std::vector<uint8_t> Shortest(int64_t v, bool isSigned) {
    std::vector<uint8_t> out;
    do {
        out.push_back(static_cast<uint8_t>(v & 0xFF));
        v >>= 8;  // arithmetic: a negative number keeps its sign
    } while (isSigned ? !((v == 0 && !(out.back() & 0x80)) || (v == -1 && (out.back() & 0x80))) : v != 0);
    return out;
}
} // namespace

PatchedNtfsImage::PatchedNtfsImage(const std::string& image) {
    if (!RequireFile(CorpusPath(image)))
        return;
    manifest_ = LoadManifest(image);
    path_ = CopyToTemp(CorpusPath(image), ::testing::UnitTest::GetInstance()->current_test_info()->name());
}

PatchedNtfsImage::~PatchedNtfsImage() {
    if (!path_.empty())
        std::filesystem::remove(path_);
}

int64_t PatchedNtfsImage::Cluster() const { return manifest_["cluster_size"].get<int64_t>(); }

int64_t PatchedNtfsImage::RecordAt(int64_t n) const {
    return manifest_["mft_first_cluster"].get<int64_t>() * Cluster() + n * manifest_["mft_record_size"].get<int64_t>();
}

const nlohmann::json& PatchedNtfsImage::Entry(const std::string& path) const {
    for (const nlohmann::json& e : manifest_["files"])
        if (e["path"] == path)
            return e;
    ADD_FAILURE() << path << " is not in the manifest";
    static const nlohmann::json none = nlohmann::json::object();
    return none;
}

int64_t PatchedNtfsImage::RecordOf(const std::string& path) const {
    return Entry(path).value("mft_record", int64_t{-1});
}

bool MarkDataEncrypted(const PatchedNtfsImage& image, int64_t n) {
    MftRecordEdit record(image.Path(), image.RecordAt(n));
    const size_t data = record.FindAttribute(0x80);
    if (data == std::string::npos)
        return false;
    record.Put16(data + 12, 0x4000);
    record.Write();
    return true;
}

TMyFile* FoundRecord(const ScanSetup& scan, int64_t n) {
    for (const auto& f : scan.disk->Files)
        if (f->RecordNo == n)
            return f.get();
    return nullptr;
}

std::vector<uint8_t> EncodeRuns(const std::vector<ClusterRun>& runs) {
    std::vector<uint8_t> out;
    int64_t lcn = 0;
    for (const ClusterRun& run : runs) {
        const auto count = Shortest(static_cast<int64_t>(run.count), false);
        const auto delta = Shortest(run.lcn - lcn, true);
        out.push_back(static_cast<uint8_t>(delta.size() << 4 | count.size()));
        out.insert(out.end(), count.begin(), count.end());
        out.insert(out.end(), delta.begin(), delta.end());
        lcn = run.lcn;
    }
    return out;
}

MftRecordEdit::MftRecordEdit(std::string image, int64_t offset, uint32_t size)
    : image_(std::move(image)), offset_(offset), bytes_(size) {
    std::ifstream in(PathOf(image_), std::ios::binary);
    in.seekg(offset_);
    in.read(reinterpret_cast<char*>(bytes_.data()), static_cast<std::streamsize>(bytes_.size()));
    const uint16_t usa = Get16(4), count = Get16(6);
    for (uint16_t i = 1; i < count && size_t{i} * 512 <= bytes_.size(); ++i) {
        bytes_[i * 512u - 2] = bytes_[usa + 2u * i];
        bytes_[i * 512u - 1] = bytes_[usa + 2u * i + 1];
    }
}

size_t MftRecordEdit::FindAttribute(uint32_t type, size_t from) const {
    size_t off = Get16(20);
    while (off + 8 <= bytes_.size()) {
        const uint32_t t = static_cast<uint32_t>(Get64(off) & 0xFFFFFFFF);
        const uint32_t length = static_cast<uint32_t>(Get64(off) >> 32);
        if (t == 0xFFFFFFFF || length == 0)
            break;
        if (t == type && off >= from)
            return off;
        off += length;
    }
    return std::string::npos;
}

size_t MftRecordEdit::ValueOf(size_t attribute) const { return attribute + Get16(attribute + 20); }

uint16_t MftRecordEdit::Get16(size_t at) const { return static_cast<uint16_t>(bytes_[at] | bytes_[at + 1] << 8); }

uint64_t MftRecordEdit::Get64(size_t at) const {
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i)
        v = v << 8 | bytes_[at + static_cast<size_t>(i)];
    return v;
}

void MftRecordEdit::Put16(size_t at, uint16_t v) {
    bytes_[at] = static_cast<uint8_t>(v);
    bytes_[at + 1] = static_cast<uint8_t>(v >> 8);
}

void MftRecordEdit::Put32(size_t at, uint32_t v) {
    for (size_t i = 0; i < 4; ++i)
        bytes_[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

void MftRecordEdit::Put64(size_t at, uint64_t v) {
    for (size_t i = 0; i < 8; ++i)
        bytes_[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

void MftRecordEdit::SetRunList(size_t attribute, const std::vector<uint8_t>& pairs) {
    const size_t pairsAt = attribute + Get16(attribute + 32);
    const size_t oldLength = Get16(attribute + 4);
    const size_t newLength = (pairsAt - attribute + pairs.size() + 1 + 7) / 8 * 8;
    const size_t inUse = static_cast<size_t>(Get64(24) & 0xFFFFFFFF);
    if (inUse - oldLength + newLength + 8 > bytes_.size()) {
        ADD_FAILURE() << "the run list does not fit the record";
        return;
    }
    std::vector<uint8_t> rest(bytes_.begin() + static_cast<std::ptrdiff_t>(attribute + oldLength),
                              bytes_.begin() + static_cast<std::ptrdiff_t>(inUse));
    std::vector<uint8_t> body(newLength - (pairsAt - attribute), 0);
    std::copy(pairs.begin(), pairs.end(), body.begin());
    std::copy(body.begin(), body.end(), bytes_.begin() + static_cast<std::ptrdiff_t>(pairsAt));
    std::copy(rest.begin(), rest.end(), bytes_.begin() + static_cast<std::ptrdiff_t>(attribute + newLength));
    Put32(attribute + 4, static_cast<uint32_t>(newLength));
    Put32(24, static_cast<uint32_t>(inUse - oldLength + newLength));
}

void MftRecordEdit::Write() {
    std::vector<uint8_t> out = bytes_;
    const uint16_t usa = Get16(4), count = Get16(6);
    for (uint16_t i = 1; i < count && size_t{i} * 512 <= out.size(); ++i) {
        out[usa + 2u * i] = out[i * 512u - 2];
        out[usa + 2u * i + 1] = out[i * 512u - 1];
        out[i * 512u - 2] = out[usa];
        out[i * 512u - 1] = out[usa + 1];
    }
    Patch(image_, offset_, out);
}

} // namespace testing_support
