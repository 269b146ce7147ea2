#include "ntfs/listing_ahead.h"

#include <new>
#include <system_error>

namespace ntfs {

ListingAhead::ListingAhead(std::function<void()> first, Batch batch)
    : first_(std::move(first)), batch_(std::move(batch)) {
    try {
        thread_ = std::thread([this] { Run(); });
    } catch (const std::system_error&) {
        failed_ = true;  // no thread to be had: the listing pass does it all
    }
}

ListingAhead::~ListingAhead() { Finish(); }

void ListingAhead::Hand(std::vector<TMyFile*> files) {
    if (files.empty())
        return;
    {
        std::lock_guard lock(mutex_);
        if (failed_ || ended_)
            return;
        try {
            waiting_.push_back(std::move(files));
        } catch (const std::bad_alloc&) {
            failed_ = true;
        }
    }
    wake_.notify_one();
}

bool ListingAhead::Finish() {
    {
        std::lock_guard lock(mutex_);
        ended_ = true;
    }
    wake_.notify_one();
    if (thread_.joinable())
        thread_.join();
    return !failed_;
}

void ListingAhead::Run() {
    try {
        first_();
        for (;;) {
            std::vector<TMyFile*> files;
            {
                std::unique_lock lock(mutex_);
                wake_.wait(lock, [this] { return !waiting_.empty() || ended_ || failed_; });
                if (failed_ || waiting_.empty())
                    return;
                files = std::move(waiting_.front());
                waiting_.pop_front();
            }
            batch_(files);
        }
    } catch (...) {
        std::lock_guard lock(mutex_);
        failed_ = true;
        waiting_.clear();
    }
}

} // namespace ntfs
