#include "volume/file_data.h"

#include <algorithm>
#include <vector>

#include "volume/byte_reader.h"
#include "volume/lznt1.h"
#include "volume/salvaging_read.h"
#include "volume/update_sequence.h"

namespace volume {

const char* ReadStatusText(ReadStatus status) {
    switch (status) {
    case ReadStatus::Ok: return "ok";
    case ReadStatus::Cancelled: return "stopped";
    case ReadStatus::ReadFailed: return "the volume could not be read there";
    case ReadStatus::OutsideVolume: return "the data lies past the end of the volume";
    case ReadStatus::Incomplete: return "the data found is shorter than the file";
    case ReadStatus::NoDataPosition: return "where the file's data lay is no longer known";
    case ReadStatus::DamagedRecord: return "the file's record is damaged";
    case ReadStatus::BadCompression: return "the compressed data is damaged";
    case ReadStatus::Encrypted: return "the file is encrypted: the volume holds only its ciphertext";
    case ReadStatus::UnreadableCompression: return "the file is compressed in a form that cannot be read";
    }
    return "unknown";
}

namespace {

class DataReader {
public:
    DataReader(const TMyFile& file, const DataSink& sink, const std::atomic<bool>* cancel, ReadDamage* damage)
        : file_(file), sink_(sink), cancel_(cancel), damage_(damage),
          device_(file.Drive ? file.Drive->Source.get() : nullptr) {
        volumeBytes_ = file.Drive ? file.Drive->VolumeBytes : 0;
        if (device_ && (volumeBytes_ <= 0 || static_cast<uint64_t>(volumeBytes_) > device_->Size()) && device_->Size())
            volumeBytes_ = static_cast<int64_t>(device_->Size());
        left_ = file.FileSize;
    }

    ReadStatus Run() {
        if (file_.Encrypted)
            return ReadStatus::Encrypted;
        if (file_.FileSize <= 0)
            return ReadStatus::Ok;
        if (!device_)
            return ReadStatus::ReadFailed;
        if (file_.Runs.empty())
            return ReadStatus::NoDataPosition;
        if (file_.CompressionUnit == kUnreadableCompression && file_.Runs[0].OnVolume)
            return ReadStatus::UnreadableCompression;
        // Runs that cannot hold the size the file claims are never read at all.
        if (file_.Runs[0].OnVolume) {
            int64_t covered = 0;
            for (const TMyFileRun& run : file_.Runs)
                covered = SaturatingAdd(covered, run.RunLength);
            if (covered < file_.FileSize)
                return ReadStatus::Incomplete;
        }
        ReadStatus status = !file_.Runs[0].OnVolume ? ReadResident(file_.Runs[0])
                            : file_.CompressionUnit  ? ReadCompressed()
                                                     : ReadPlain();
        if (status != ReadStatus::Ok)
            return status;
        // Zeros in place of everything are no recovery: the file failed.
        if (unreadable_ > 0 && unreadable_ >= volumeBytesRead_)
            return ReadStatus::ReadFailed;
        return left_ == 0 ? ReadStatus::Ok : ReadStatus::Incomplete;
    }

    // Bytes handed on as zeros because their sectors could not be read.
    uint64_t Unreadable() const { return unreadable_; }

private:
    bool Cancelled() const { return cancel_ && cancel_->load(std::memory_order_relaxed); }

    bool InsideVolume(int64_t start, int64_t length) const {
        return start >= 0 && length >= 0 && start <= volumeBytes_ && length <= volumeBytes_ - start;
    }

    // Hands bytes on, never more than the file still needs.
    bool Emit(std::span<const uint8_t> bytes, bool volumeRead) {
        size_t n = static_cast<size_t>(std::min<int64_t>(left_, static_cast<int64_t>(bytes.size())));
        left_ -= static_cast<int64_t>(n);
        return sink_(bytes.first(n), volumeRead) && !Cancelled();
    }

    // Reads [start, start + length) of the volume, whole sectors where the volume allows.
    ReadStatus ReadRange(int64_t start, int64_t length, std::vector<uint8_t>& out) {
        if (!InsideVolume(start, length))
            return ReadStatus::OutsideVolume;
        int64_t aligned = (length + 511) / 512 * 512;
        if (start + aligned > volumeBytes_)
            aligned = length;
        out.resize(static_cast<size_t>(aligned));
        const SalvagedRead read =
            ReadSalvaging(device_, out.data(), static_cast<uint32_t>(aligned), static_cast<uint64_t>(start), cancel_,
                          damage_);
        if (read.Cancelled || Cancelled())
            return ReadStatus::Cancelled;
        // Only the lost sectors' bytes that belong to the file count, not the
        // tail of the last sector beyond it.
        const uint64_t end = static_cast<uint64_t>(start + length);
        for (const platform::ByteRange& lost : read.Unreadable)
            if (lost.Offset < end)
                unreadable_ += std::min(lost.Offset + lost.Length, end) - lost.Offset;
        volumeBytesRead_ += static_cast<uint64_t>(length);
        out.resize(static_cast<size_t>(length));
        return ReadStatus::Ok;
    }

    ReadStatus EmitZeros(int64_t length) {
        std::vector<uint8_t> zeros(static_cast<size_t>(std::min<int64_t>(length, kReadChunk)), 0);
        while (length > 0 && left_ > 0) {
            size_t n = static_cast<size_t>(std::min<int64_t>(length, static_cast<int64_t>(zeros.size())));
            if (!Emit(std::span<const uint8_t>(zeros.data(), n), false))
                return ReadStatus::Cancelled;
            length -= static_cast<int64_t>(n);
        }
        return ReadStatus::Ok;
    }

    ReadStatus ReadPlain() {
        std::vector<uint8_t> chunk;
        for (const TMyFileRun& run : file_.Runs) {
            if (left_ <= 0)
                break;
            if (run.IsHole) {
                if (ReadStatus s = EmitZeros(run.RunLength); s != ReadStatus::Ok)
                    return s;
                continue;
            }
            if (!InsideVolume(run.RunStart, std::min(run.RunLength, left_)))
                return ReadStatus::OutsideVolume;
            int64_t pos = run.RunStart, runLeft = run.RunLength;
            while (runLeft > 0 && left_ > 0) {
                int64_t n = std::min<int64_t>({runLeft, kReadChunk, left_});
                if (ReadStatus s = ReadRange(pos, n, chunk); s != ReadStatus::Ok)
                    return s;
                if (!Emit(chunk, true))
                    return ReadStatus::Cancelled;
                pos += n;
                runLeft -= n;
            }
        }
        return ReadStatus::Ok;
    }

    ReadStatus ReadCompressed() {
        const int64_t unit = file_.CompressionUnit;
        // Walk the runs as one virtual stream, a compression unit at a time.
        size_t runIndex = 0;
        int64_t runOffset = 0;
        std::vector<uint8_t> packed, piece, plain;
        while (left_ > 0) {
            packed.clear();
            const uint64_t unreadableBefore = unreadable_;
            int64_t covered = 0, dataBytes = 0;
            while (covered < unit && runIndex < file_.Runs.size()) {
                const TMyFileRun& run = file_.Runs[runIndex];
                int64_t take = std::min(unit - covered, run.RunLength - runOffset);
                if (!run.IsHole) {
                    if (ReadStatus s = ReadRange(run.RunStart + runOffset, take, piece); s != ReadStatus::Ok)
                        return s;
                    packed.insert(packed.end(), piece.begin(), piece.end());
                    dataBytes += take;
                }
                covered += take;
                runOffset += take;
                if (runOffset >= run.RunLength) {
                    ++runIndex;
                    runOffset = 0;
                }
            }
            if (covered == 0)
                return ReadStatus::Incomplete;
            if (dataBytes == 0) {
                plain.assign(static_cast<size_t>(covered), 0);  // a unit that is all hole
            } else if (dataBytes == covered) {
                plain.swap(packed);  // stored uncompressed
            } else if (!DecompressLznt1(packed, static_cast<size_t>(unit), plain)) {
                if (unreadable_ == unreadableBefore)
                    return ReadStatus::BadCompression;
                // A lost sector spoils the whole unit it was packed in.
                unreadable_ = unreadableBefore + static_cast<uint64_t>(covered);
                plain.assign(static_cast<size_t>(covered), 0);
            }
            if (!Emit(plain, true))
                return ReadStatus::Cancelled;
        }
        return ReadStatus::Ok;
    }

    ReadStatus ReadResident(const TMyFileRun& run) {
        const uint32_t unitSize = file_.Drive->UnitSize;
        if (run.RunStart < 0 || unitSize == 0)
            return ReadStatus::Incomplete;
        std::vector<uint8_t> record, rest;
        if (run.SplitLength > 0 && run.SplitLength < unitSize) {
            if (ReadStatus s = ReadRange(run.RunStart, run.SplitLength, record); s != ReadStatus::Ok)
                return s;
            if (ReadStatus s = ReadRange(run.SplitStart, unitSize - run.SplitLength, rest); s != ReadStatus::Ok)
                return s;
            record.insert(record.end(), rest.begin(), rest.end());
        } else if (ReadStatus s = ReadRange(run.RunStart, unitSize, record); s != ReadStatus::Ok) {
            return s;
        }
        if (unreadable_ > 0)
            return ReadStatus::ReadFailed;  // the data is the record: part of it is all of it
        if (!ApplyUpdateSequence(record))
            return ReadStatus::DamagedRecord;
        if (run.ResidentOffset > record.size() || static_cast<uint64_t>(file_.FileSize) > record.size() - run.ResidentOffset)
            return ReadStatus::DamagedRecord;
        if (!Emit(std::span<const uint8_t>(record).subspan(run.ResidentOffset, static_cast<size_t>(file_.FileSize)), true))
            return ReadStatus::Cancelled;
        return ReadStatus::Ok;
    }

    const TMyFile& file_;
    const DataSink& sink_;
    const std::atomic<bool>* cancel_;
    ReadDamage* damage_;
    const media::ByteSource* device_;
    int64_t volumeBytes_ = 0;
    int64_t left_ = 0;
    uint64_t unreadable_ = 0;
    uint64_t volumeBytesRead_ = 0;
};

} // namespace

ReadStatus ReadFileData(const TMyFile& file, const DataSink& sink, const std::atomic<bool>* cancel,
                        ReadDamage* damage, uint64_t* unreadableBytes) {
    DataReader reader(file, sink, cancel, damage);
    const ReadStatus status = reader.Run();
    if (unreadableBytes)
        *unreadableBytes = reader.Unreadable();
    return status;
}

} // namespace volume
