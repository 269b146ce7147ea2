#pragma once
// The formats the content search knows: the bytes a file of each starts
// with, the largest file it looks for, and the decoder that walks it.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "content/carved.h"

namespace content {

struct Signature {
    std::string_view name;            // as the user names it: the usual extension
    std::string_view magic;           // the bytes a file starts with...
    uint8_t magicAt = 0;              // ...at this offset from its first byte
    uint64_t maxBytes = 0;            // no file of the kind is looked for beyond this
    std::string_view kinds;           // every extension its decoder may give, space-separated
    Decoder decode = nullptr;
};

std::span<const Signature> Signatures();

// The signatures a list of names asks for ("jpg", "docx", "mp4": any
// extension a decoder gives); every one for an empty list. `unknown`
// receives the names no signature answers to.
std::vector<bool> SignaturesNamed(std::span<const std::string> names, std::vector<std::string>* unknown = nullptr);

} // namespace content
