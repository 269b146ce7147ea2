#pragma once
// SHA-256 and MD5 of a byte string, as lower-case hex, for comparing
// recovered files with their published hashes on every platform. They are
// the program's own digests, checked against published vectors in their test.
#include <cstdint>
#include <string>
#include <vector>

namespace testing_support {

std::string Sha256Hex(const uint8_t* data, size_t size);
std::string Md5Hex(const uint8_t* data, size_t size);

} // namespace testing_support
