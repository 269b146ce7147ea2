#pragma once
// The SHA-256 and MD5 of every copy of a job, worked out on two threads of
// their own while the writing goes on: the writer hands each piece over and
// goes on with the piece, or the file, after it. Many small files would
// otherwise leave both hashes to the writing thread, which then spends more
// time hashing than writing.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "recover/digest.h"

namespace recover {

struct FileDigests {
    std::string Sha256;  // lower-case hex
    std::string Md5;
};

class DigestPipeline {
public:
    DigestPipeline() = default;
    ~DigestPipeline();
    DigestPipeline(const DigestPipeline&) = delete;
    DigestPipeline& operator=(const DigestPipeline&) = delete;

    // The pieces of the next copy follow; returns its number, counted from
    // 0. The copy before, unless kept, is forgotten: its digests are never given.
    size_t Begin();
    // Takes a copy of the piece, which may then be reused; waits while too
    // many bytes wait to be hashed.
    void Add(std::span<const uint8_t> bytes);
    // The copy is whole and has its name: its digests are to be given.
    void Keep();
    // Waits until every piece is hashed; the digests of each kept copy by
    // its number. Throws std::bad_alloc when memory ran out for a digest.
    std::map<size_t, FileDigests> Finish();

private:
    enum class Mark { Bytes, Keep };
    struct Piece {
        Mark mark = Mark::Bytes;
        size_t file = 0;
        std::vector<uint8_t> bytes;
    };
    // One hash over the queue: its place in it and the copy it is within.
    struct Lane {
        bool isSha256 = false;
        size_t next = 0;
        size_t file = 0;  // counted from the first piece ever queued
        std::optional<Sha256> sha256;
        std::optional<Md5> md5;
        std::thread thread;
    };

    void Push(Mark mark, std::span<const uint8_t> bytes);
    bool StartLanes();
    // Ends every lane's thread that runs, once it has taken what it was given.
    void StopLanes();
    void LaneLoop(Lane& lane);
    // Hashes one piece; false when memory ran out for its digest.
    bool Take(Lane& lane, const Piece& piece);
    // MD5 waits on each step's result: kept copies of one piece each, next
    // in the queue, are hashed two side by side, in about the time of one.
    // False, with nothing taken, when fewer than two such come next.
    bool TakePair(Lane& lane, std::unique_lock<std::mutex>& lock);
    void DropTakenPieces();

    Lane lanes_[2];
    bool started_ = false;
    bool inline_ = false;  // no thread could be started: the pieces are hashed as they come
    std::mutex mutex_;
    std::condition_variable work_;  // for the lanes: pieces came, or quit_
    std::condition_variable room_;  // for the writer: bytes were hashed
    size_t unannounced_ = 0;        // bytes queued since the lanes were last woken
    bool writerWaiting_ = false;
    std::deque<Piece> queue_;
    size_t firstQueued_ = 0;  // the number of queue_.front()
    size_t waitingBytes_ = 0;
    std::vector<std::vector<uint8_t>> spare_;  // buffers of hashed pieces, for the next ones
    size_t spareBytes_ = 0;
    bool quit_ = false;
    bool failed_ = false;
    size_t files_ = 0;
    std::map<size_t, FileDigests> digests_;
};

} // namespace recover
