#include "recover/copy_digests.h"

#include <system_error>

namespace recover {

namespace {

// Below this a hand-over costs more than it saves.
constexpr size_t kHandOverBytes = 256 * 1024;

} // namespace

CopyDigests::~CopyDigests() {
    if (!helper_.joinable())
        return;
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    changed_.notify_all();
    helper_.join();
}

bool CopyDigests::HelperRunning() {
    if (helper_.joinable())
        return true;
    if (helperFailed_)
        return false;
    try {
        helper_ = std::thread([this] { HelperLoop(); });
    } catch (const std::system_error&) {
        helperFailed_ = true;
    }
    return !helperFailed_;
}

void CopyDigests::Add(std::span<const uint8_t> bytes) {
    if (bytes.size() < kHandOverBytes || !HelperRunning()) {
        sha256_.Add(bytes);
        md5_.Add(bytes);
        return;
    }
    {
        std::lock_guard lock(mutex_);
        forHelper_ = bytes;
        pending_ = true;
    }
    changed_.notify_all();
    sha256_.Add(bytes);
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !pending_; });
}

void CopyDigests::HelperLoop() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return pending_ || quit_; });
        if (quit_)
            return;
        const std::span<const uint8_t> bytes = forHelper_;
        lock.unlock();
        md5_.Add(bytes);
        lock.lock();
        pending_ = false;
        changed_.notify_all();
    }
}

} // namespace recover
