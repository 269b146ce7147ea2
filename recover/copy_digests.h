#pragma once
// The SHA-256 and MD5 of one copy, fed as it is written. Large pieces are
// hashed on two cores at once, MD5 on a helper thread, so that proving the
// copy adds little to the time it takes to write it.
#include <condition_variable>
#include <mutex>
#include <span>
#include <string>
#include <thread>

#include "recover/digest.h"

namespace recover {

class CopyDigests {
public:
    CopyDigests() = default;
    ~CopyDigests();
    CopyDigests(const CopyDigests&) = delete;
    CopyDigests& operator=(const CopyDigests&) = delete;

    // Returns when both hashes have taken the piece: it may be reused then.
    void Add(std::span<const uint8_t> bytes);
    // The digests as lower-case hex; no more bytes are taken after them.
    std::string Sha256Hex() { return sha256_.Hex(); }
    std::string Md5Hex() { return md5_.Hex(); }

private:
    bool HelperRunning();
    void HelperLoop();

    Sha256 sha256_;
    Md5 md5_;
    std::thread helper_;
    bool helperFailed_ = false;  // no thread could be started: both are hashed here
    std::mutex mutex_;
    std::condition_variable changed_;
    std::span<const uint8_t> forHelper_;
    bool pending_ = false;
    bool quit_ = false;
};

} // namespace recover
