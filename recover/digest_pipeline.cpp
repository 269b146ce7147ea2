#include "recover/digest_pipeline.h"

#include <new>
#include <system_error>
#include <utility>

namespace recover {

namespace {

// The writer waits beyond this, so that a slow hash bounds the memory held
// rather than letting it grow with the job. A larger piece is taken alone.
constexpr size_t kMaxWaitingBytes = 8u << 20;
// The hashes are woken when this much has come since they last were, and
// the writer when half the bytes it waits behind are hashed: a wake-up a
// piece would cost more than hashing a small file.
constexpr size_t kWakeBytes = 1u << 20;

} // namespace

DigestPipeline::~DigestPipeline() { StopLanes(); }

void DigestPipeline::StopLanes() {
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    work_.notify_all();
    for (Lane& lane : lanes_)
        if (lane.thread.joinable())
            lane.thread.join();
}

size_t DigestPipeline::Begin() { return files_++; }

void DigestPipeline::Add(std::span<const uint8_t> bytes) { Push(Mark::Bytes, bytes); }

void DigestPipeline::Keep() { Push(Mark::Keep, {}); }

bool DigestPipeline::StartLanes() {
    started_ = true;
    lanes_[0].isSha256 = true;
    for (Lane& lane : lanes_) {
        try {
            lane.thread = std::thread([this, &lane] { LaneLoop(lane); });
        } catch (const std::system_error&) {
            inline_ = true;
        }
    }
    if (!inline_)
        return true;
    // Hashed here from now on: a lane that did start goes.
    StopLanes();
    quit_ = false;
    return false;
}

void DigestPipeline::Push(Mark mark, std::span<const uint8_t> bytes) {
    const size_t file = files_ - 1;
    if ((!started_ && !StartLanes()) || inline_) {
        // The caller's thread: a digest that finds no memory throws, as any allocation there.
        Piece piece{mark, file, {}};
        if (mark == Mark::Bytes)
            piece.bytes.assign(bytes.begin(), bytes.end());
        for (Lane& lane : lanes_)
            if (!Take(lane, piece))
                throw std::bad_alloc();
        return;
    }
    std::vector<uint8_t> buffer;
    {
        std::unique_lock lock(mutex_);
        if (!queue_.empty() && waitingBytes_ + bytes.size() > kMaxWaitingBytes) {
            work_.notify_all();
            unannounced_ = 0;
            while (!queue_.empty() && waitingBytes_ + bytes.size() > kMaxWaitingBytes / 2) {
                writerWaiting_ = true;
                room_.wait(lock);
            }
            writerWaiting_ = false;
        }
        if (!spare_.empty()) {
            buffer = std::move(spare_.back());
            spare_.pop_back();
            spareBytes_ -= buffer.capacity();
        }
    }
    // Copied unlocked: the lanes go on meanwhile.
    buffer.assign(bytes.begin(), bytes.end());
    std::lock_guard lock(mutex_);
    waitingBytes_ += buffer.size();
    unannounced_ += buffer.size();
    queue_.push_back(Piece{mark, file, std::move(buffer)});
    if (unannounced_ >= kWakeBytes) {
        unannounced_ = 0;
        work_.notify_all();
    }
}

void DigestPipeline::LaneLoop(Lane& lane) {
    std::unique_lock lock(mutex_);
    for (;;) {
        work_.wait(lock, [&] { return lane.next < firstQueued_ + queue_.size() || quit_; });
        if (lane.next == firstQueued_ + queue_.size())
            return;  // quit_, and every piece is taken
        if (!TakePair(lane, lock)) {
            // Not popped until both lanes are past it, and a deque's other
            // elements stay where they are as it grows or shrinks.
            const Piece& piece = queue_[lane.next - firstQueued_];
            lock.unlock();
            const bool ok = Take(lane, piece);
            lock.lock();
            failed_ = failed_ || !ok;
            ++lane.next;
        }
        DropTakenPieces();
        if (writerWaiting_ && (queue_.empty() || waitingBytes_ <= kMaxWaitingBytes / 2))
            room_.notify_one();
    }
}

bool DigestPipeline::TakePair(Lane& lane, std::unique_lock<std::mutex>& lock) {
    // Kept copies of one piece each, one after another, the first not begun
    // in the lane already.
    constexpr size_t kMostCopies = 64;
    const Piece* copies[kMostCopies];
    size_t count = 0;
    const size_t at = lane.next - firstQueued_;
    if (!lane.isSha256 && !(lane.md5 && lane.file == queue_[at].file)) {
        for (size_t i = at; count < kMostCopies && i + 1 < queue_.size(); i += 2) {
            const Piece& piece = queue_[i];
            if (piece.mark != Mark::Bytes || queue_[i + 1].mark != Mark::Keep || queue_[i + 1].file != piece.file ||
                (count > 0 && copies[count - 1]->file == piece.file))
                break;
            copies[count++] = &piece;
        }
    }
    if (count < 2)
        return false;
    lock.unlock();
    // Two copies side by side; the one that ends first gives way to the
    // next. Each is fed whole blocks only until its last bytes.
    struct Stream {
        std::optional<Md5> md5;
        std::span<const uint8_t> left;
        size_t file = 0;
    } streams[2];
    size_t started = 0;
    const auto start = [&](Stream& s) {
        if (started == count)
            return s.md5.reset();
        s.md5.emplace();
        s.left = copies[started]->bytes;
        s.file = copies[started++]->file;
    };
    bool ok = true;
    const auto finish = [&](Stream& s) {
        s.md5->Add(s.left);
        try {
            std::string hex = s.md5->Hex();
            std::lock_guard results(mutex_);
            digests_[s.file].Md5 = std::move(hex);
        } catch (const std::bad_alloc&) {
            ok = false;
        }
        start(s);
    };
    start(streams[0]);
    start(streams[1]);
    while (streams[0].md5 && streams[1].md5) {
        const size_t whole = std::min(streams[0].left.size(), streams[1].left.size()) / 64 * 64;
        Md5::AddTwo(*streams[0].md5, streams[0].left.first(whole), *streams[1].md5, streams[1].left.first(whole));
        for (Stream& s : streams) {
            s.left = s.left.subspan(whole);
            if (s.left.size() < 64)
                finish(s);
        }
    }
    for (Stream& s : streams)
        while (s.md5)
            finish(s);
    lane.md5.reset();
    lock.lock();
    failed_ = failed_ || !ok;
    lane.next += 2 * count;
    return true;
}

void DigestPipeline::DropTakenPieces() {
    const size_t taken = std::min(lanes_[0].next, lanes_[1].next);
    while (firstQueued_ < taken) {
        std::vector<uint8_t>& bytes = queue_.front().bytes;
        waitingBytes_ -= bytes.size();
        if (bytes.capacity() > 0 && spareBytes_ + bytes.capacity() <= kMaxWaitingBytes) {
            try {
                spare_.push_back(std::move(bytes));
                spareBytes_ += spare_.back().capacity();
            } catch (const std::bad_alloc&) {
                // Not kept for reuse, then: freed with its piece.
            }
        }
        queue_.pop_front();
        ++firstQueued_;
    }
}

bool DigestPipeline::Take(Lane& lane, const Piece& piece) {
    // A piece of another copy than the lane's: that copy was not kept, and
    // what the lane had of it is forgotten.
    if (lane.file != piece.file || !(lane.sha256 || lane.md5)) {
        lane.file = piece.file;
        if (lane.isSha256)
            lane.sha256.emplace();
        else
            lane.md5.emplace();
    }
    if (piece.mark == Mark::Bytes) {
        if (lane.isSha256)
            lane.sha256->Add(piece.bytes);
        else
            lane.md5->Add(piece.bytes);
        return true;
    }
    bool ok = true;
    try {
        std::string hex = lane.isSha256 ? lane.sha256->Hex() : lane.md5->Hex();
        std::lock_guard lock(mutex_);
        FileDigests& into = digests_[piece.file];
        (lane.isSha256 ? into.Sha256 : into.Md5) = std::move(hex);
    } catch (const std::bad_alloc&) {
        ok = false;
    }
    lane.sha256.reset();
    lane.md5.reset();
    return ok;
}

std::map<size_t, FileDigests> DigestPipeline::Finish() {
    if (started_ && !inline_) {
        {
            std::lock_guard lock(mutex_);
            quit_ = true;
        }
        work_.notify_all();
        for (Lane& lane : lanes_)
            lane.thread.join();
    }
    if (failed_)
        throw std::bad_alloc();
    return std::move(digests_);
}

} // namespace recover
