#include "support/hashes.h"

#include "recover/digest.h"

namespace testing_support {

std::string Sha256Hex(const uint8_t* data, size_t size) {
    recover::Sha256 sha;
    sha.Add({data, size});
    return sha.Hex();
}

std::string Md5Hex(const uint8_t* data, size_t size) {
    recover::Md5 md5;
    md5.Add({data, size});
    return md5.Hex();
}

} // namespace testing_support
