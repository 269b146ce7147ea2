#include <utility>

#include "platform/memory.h"

namespace platform {

LargeBuffer::LargeBuffer(size_t size) {
    if (size == 0)
        return;
    data_ = static_cast<uint8_t*>(AllocatePages(size));
    size_ = data_ ? size : 0;
}

void LargeBuffer::Release() {
    if (data_)
        FreePages(data_, size_);
    data_ = nullptr;
    size_ = 0;
}

LargeBuffer::~LargeBuffer() { Release(); }

LargeBuffer::LargeBuffer(LargeBuffer&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}

LargeBuffer& LargeBuffer::operator=(LargeBuffer&& other) noexcept {
    if (this != &other) {
        Release();
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
    }
    return *this;
}

} // namespace platform
