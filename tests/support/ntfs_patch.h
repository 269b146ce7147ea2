#pragma once
// Patching NTFS corpus images in tests: a private copy of an image with its
// manifest, and MFT records opened for change (read with their update
// sequence undone, written back protected again).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "support/test_support.h"

namespace testing_support {

// One extent for EncodeRuns: a first cluster and a count of clusters.
struct ClusterRun {
    int64_t lcn;
    uint64_t count;
};

// NTFS mapping pairs for the runs, without the closing zero.
std::vector<uint8_t> EncodeRuns(const std::vector<ClusterRun>& runs);

// A private copy of a corpus image, removed again at the end, and what its manifest says.
class PatchedNtfsImage {
public:
    explicit PatchedNtfsImage(const std::string& image);
    ~PatchedNtfsImage();
    PatchedNtfsImage(const PatchedNtfsImage&) = delete;
    PatchedNtfsImage& operator=(const PatchedNtfsImage&) = delete;

    bool Ready() const { return !path_.empty(); }
    const std::string& Path() const { return path_; }
    const nlohmann::json& Manifest() const { return manifest_; }
    int64_t Cluster() const;
    // Where record n lies, for records in the MFT's first extent (the
    // system records and the corpus files lie there).
    int64_t RecordAt(int64_t n) const;
    const nlohmann::json& Entry(const std::string& path) const;
    int64_t RecordOf(const std::string& path) const;

private:
    nlohmann::json manifest_;
    std::string path_;
};

// Marks the unnamed data attribute of MFT record n encrypted (flag 0x4000),
// as EFS leaves a file. False when the record has no data attribute.
bool MarkDataEncrypted(const PatchedNtfsImage& image, int64_t n);

// The found file of MFT record n, or null.
TMyFile* FoundRecord(const ScanSetup& scan, int64_t n);

class MftRecordEdit {
public:
    // The record of `size` bytes at byte `offset` of the image.
    MftRecordEdit(std::string image, int64_t offset, uint32_t size = 1024);

    std::vector<uint8_t>& Bytes() { return bytes_; }
    // Offset of the first attribute of `type` at or after `from`; npos when none.
    size_t FindAttribute(uint32_t type, size_t from = 0) const;
    // Offset of the value of the resident attribute at `attribute`.
    size_t ValueOf(size_t attribute) const;

    uint16_t Get16(size_t at) const;
    uint64_t Get64(size_t at) const;
    void Put16(size_t at, uint16_t v);
    void Put32(size_t at, uint32_t v);
    void Put64(size_t at, uint64_t v);

    // Gives the non-resident attribute at `attribute` these mapping pairs,
    // growing or shrinking it (what follows moves along).
    void SetRunList(size_t attribute, const std::vector<uint8_t>& pairs);

    // Protects the record again and writes it over the image.
    void Write();

private:
    std::string image_;
    int64_t offset_;
    std::vector<uint8_t> bytes_;
};

} // namespace testing_support
