#pragma once
// SHA-256 and MD5 fed piece by piece as a copy is written, so that the
// report can prove the copy without reading it back.
#include <array>
#include <cstdint>
#include <span>
#include <string>

namespace recover {

// The block-and-padding frame both hashes share: 64-byte blocks, a 0x80
// byte, zeros and the length in bits.
class BlockHash {
public:
    void Add(std::span<const uint8_t> bytes);

protected:
    explicit BlockHash(bool bigEndianLength) : bigEndianLength_(bigEndianLength) {}
    ~BlockHash() = default;
    void Pad();
    // Bytes taken that do not yet fill a block.
    bool HoldsPartBlock() const { return filled_ != 0; }
    // Whole blocks hashed from outside Add, while no part block is held.
    void CountWholeBlocks(size_t count) { length_ += 64 * count; }
    // Hashes `count` whole blocks, read in place.
    virtual void Blocks(const uint8_t* blocks, size_t count) = 0;

private:
    std::array<uint8_t, 64> pending_{};
    size_t filled_ = 0;
    uint64_t length_ = 0;
    bool bigEndianLength_;
};

class Sha256 final : public BlockHash {
public:
    Sha256();
    // The digest as lower-case hex; the hash takes no more bytes after it.
    std::string Hex();

private:
    void Blocks(const uint8_t* blocks, size_t count) override;
    std::array<uint32_t, 8> state_;
};

class Md5 final : public BlockHash {
public:
    Md5();
    std::string Hex();
    // Feeds `a` to `x` and `b` to `y`, the two side by side while neither
    // holds part of a block: each MD5 step waits on the one before, and the
    // processor has room for the other copy's step meanwhile (about twice
    // the bytes a second).
    static void AddTwo(Md5& x, std::span<const uint8_t> a, Md5& y, std::span<const uint8_t> b);

private:
    void Blocks(const uint8_t* blocks, size_t count) override;
    std::array<uint32_t, 4> state_;
};

} // namespace recover
