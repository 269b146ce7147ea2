#pragma once
// A raw image cut into pieces (`disk.001`, `disk.002`, … or `disk.img.000`,
// `disk.img.001`, …, as split and imaging tools write them), read as one
// source from its first piece.
#include <memory>
#include <string>
#include <vector>

#include "media/byte_source.h"

namespace media {

class SplitImageSource final : public ByteSource {
public:
    struct Piece {
        std::unique_ptr<ByteSource> source;
        uint64_t start = 0;  // where it begins in the whole image
    };
    // `path`: the first piece's name, which the image goes by.
    explicit SplitImageSource(std::vector<Piece> pieces, std::string path = {});
    uint64_t Size() const override { return size_; }
    ReadResult Read(void* buffer, uint32_t count, uint64_t offset, const std::atomic<bool>* cancel,
                    uint32_t limitMs) const override;
    // Offsets count through the pieces joined in order.
    SourceOrigin Origin() const override { return {path_, ContainerFormat::Split, 0}; }

private:
    std::vector<Piece> pieces_;
    std::string path_;
    uint64_t size_ = 0;
};

// The names of the pieces when `path` is the first of a split image (it ends
// in a number of three or more digits, 000 or 001, and the next number's file
// exists); empty otherwise.
std::vector<std::string> SplitImagePieces(const std::string& path);

} // namespace media
