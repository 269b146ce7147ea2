#include "recover/recover_worker.h"

#include <algorithm>
#include <utility>

#include "platform/clock.h"
#include "platform/files.h"
#include "recover/safe_name.h"
#include "volume/byte_reader.h"
#include "volume/file_data.h"
#include "volume/helpers.h"

TThreadRecover::TThreadRecover(TUnDeleteProgress& progress, MessageSink* sink) : progress_(progress), sink_(sink) {
    progress_.ResetRecovery();
    progress_.FRecoverIdle = true;
    progress_.FRecoverStop = false;
    progress_.FRecoverDone = true;
    thread_ = std::make_unique<JobThread>([this] { RunJob(); }, [this](std::string_view why) { JobFailed(why); });
}

TThreadRecover::~TThreadRecover() {
    {
        std::lock_guard lock(pauseMutex_);
        StopRequested = true;
        terminating_ = true;
    }
    pauseChanged_.notify_all();
    thread_->Terminate();
}

void TThreadRecover::PrepareJob(const std::vector<TMyFile*>& allFiles) {
    SourceDrives.clear();
    Jobs.clear();
    Outcomes.clear();
    FailureText.clear();
    JobBytes = 0;
    progress_.ResetRecovery();
    progress_.FRecoverIdle = true;
    progress_.FRecoverStop = false;
    progress_.FRecoverDone = true;
    for (TMyFile* f : allFiles)
        if (f->Checked)
            AddFile(f);
}

void TThreadRecover::AddFile(TMyFile* file) {
    Jobs.push_back(file);
    JobBytes = volume::SaturatingAdd(JobBytes, file->FileSize);
    progress_.FUnitsTotal.Add(file->ProgressUnits);
    const std::string drive = file->Drive ? file->Drive->DriveName : std::string();
    if (std::find(SourceDrives.begin(), SourceDrives.end(), drive) == SourceDrives.end())
        SourceDrives.push_back(drive);
}

bool TThreadRecover::TargetOnSourceDrive() const {
    for (const std::string& drive : SourceDrives)
        if (platform::FolderOnDrive(Destination, drive))
            return true;
    return false;
}

std::string TThreadRecover::FormatJobSize() const { return volume::SizeText(JobBytes); }

void TThreadRecover::Start() {
    progress_.FRecoverIdle = false;
    progress_.FRecoverStop = false;
    progress_.FRecoverDone = false;
    progress_.FRecoverFailed = false;
    progress_.FRecoverFiles = static_cast<uint32_t>(Jobs.size());
    FailureText.clear();
    StopRequested = false;
    Paused = false;
    JobDone = false;
    thread_->Run();
}

void TThreadRecover::Pause() {
    std::lock_guard lock(pauseMutex_);
    Paused = true;
}

void TThreadRecover::Resume() {
    {
        std::lock_guard lock(pauseMutex_);
        Paused = false;
    }
    pauseChanged_.notify_all();
}

void TThreadRecover::Stop() {
    {
        std::lock_guard lock(pauseMutex_);
        if (StopRequested.exchange(true))
            return;
        Paused = false;
    }
    progress_.FRecoverStop = true;
    pauseChanged_.notify_all();
}

void TThreadRecover::WaitUntilDone() { thread_->WaitUntilIdle(); }
bool TThreadRecover::WaitUntilDoneFor(uint32_t ms) { return thread_->WaitUntilIdleFor(ms); }

bool TThreadRecover::WaitWhilePaused() {
    std::unique_lock lock(pauseMutex_);
    pauseChanged_.wait(lock, [this] { return !Paused || StopRequested || terminating_; });
    return !StopRequested && !terminating_;
}

void TThreadRecover::RunJob() {
    progress_.FBytesWritten = 0;
    progress_.FBytesTotal = JobBytes;
    BytesWritten = 0;
    JobDone = false;
    for (TMyFile* file : Jobs) {
        if (!WaitWhilePaused())
            break;
        progress_.FRecoverAttempted.Add(1);
        inProgress_ = file;
        RecoveryOutcome outcome = RecoverFile(*file);
        if (outcome.Ok)
            progress_.FRecoverSucceeded.Add(1);
        Outcomes.push_back(std::move(outcome));
        inProgress_ = nullptr;
        if (!WaitWhilePaused())
            break;
    }
    EndJob();
}

void TThreadRecover::EndJob() {
    JobDone = true;
    progress_.FRecoverDone = true;
    StopRequested = true;
    if (sink_)
        sink_->post(kMsgRecoveryFinished, 0, 0);
}

// The file being copied when the exception came fails with its reason (its
// partial copy is already gone), the files after it are not attempted, and
// the job ends as any job does, so that the window waiting for it is told.
void TThreadRecover::JobFailed(std::string_view reason) {
    TMyFile* file = std::exchange(inProgress_, nullptr);
    try {
        FailureText = reason;
        if (file)
            Outcomes.push_back(RecoveryOutcome{file, {}, false, std::string(reason)});
    } catch (...) {
        // Memory is short: the flags below still tell the front end.
    }
    progress_.FRecoverFailed = true;
    EndJob();
}

namespace {

// A target being written: closed and removed when it goes out of scope
// unless it was kept.
class PartialCopy {
public:
    PartialCopy(std::unique_ptr<platform::OutputFile>& out, const std::string& target) : out_(out), target_(target) {}
    ~PartialCopy() {
        if (kept_)
            return;
        out_.reset();  // Windows removes no file that is still open
        platform::RemoveFile(target_);
    }
    PartialCopy(const PartialCopy&) = delete;
    PartialCopy& operator=(const PartialCopy&) = delete;
    void Keep() { kept_ = true; }

private:
    std::unique_ptr<platform::OutputFile>& out_;
    const std::string& target_;
    bool kept_ = false;
};

// Counts the progress units of one file; never more than the file was given.
class UnitCounter {
public:
    UnitCounter(TUnDeleteProgress& progress, uint16_t units) : progress_(progress), units_(units) {}
    void Step() {
        if (++done_ > units_)
            done_ = units_;
        else
            progress_.FUnitsDone.Add(1);
    }
    // Each attempted file advances the job by exactly its units.
    void Finish() {
        if (done_ > 0 && done_ < units_)
            progress_.FUnitsDone.Add(units_ - done_);
    }

private:
    TUnDeleteProgress& progress_;
    uint32_t units_;
    uint32_t done_ = 0;
};

} // namespace

RecoveryOutcome TThreadRecover::RecoverFile(TMyFile& file) {
    RecoveryOutcome outcome;
    outcome.File = &file;
    if (file.FileSize <= 0) {
        outcome.Error = "the file is empty";
        return outcome;
    }
    // Ciphertext under the file's name would pass for the file: nothing is written.
    if (file.Encrypted) {
        outcome.Error = volume::ReadStatusText(volume::ReadStatus::Encrypted);
        return outcome;
    }
    if (!file.Drive || !file.Drive->HandleValid()) {
        outcome.Error = "its drive is no longer there";
        return outcome;
    }
    if (static_cast<uint64_t>(file.FileSize) > platform::MaxFileSizeIn(Destination)) {
        outcome.Error = "the destination's file system cannot hold a file this large";
        return outcome;
    }

    std::string dir = Destination;
    if (dir.empty() || dir.back() != platform::PathDelimiter())
        dir += platform::PathDelimiter();
    const std::string wanted = dir + SafeFileName(file.FileName, kWindowsNameRules);

    // The name is made unique, then created exclusively; a name taken in
    // between makes us look again rather than replace anything.
    std::unique_ptr<platform::OutputFile> out;
    std::string target, error;
    for (int attempt = 0; attempt < 100 && !out; ++attempt) {
        target = wanted;
        if (!volume::UniqueFileName(target)) {
            outcome.Error = "no free name was found for it";
            return outcome;
        }
        bool exists = false;
        out = platform::OutputFile::CreateNew(target, error, exists);
        if (!out && !exists) {
            outcome.Error = "cannot create " + target + ": " + error;
            return outcome;
        }
    }
    if (!out) {
        outcome.Error = "no free name was found for it";
        return outcome;
    }

    // However this function is left, an exception included, an incomplete
    // copy does not stay behind.
    PartialCopy partial(out, target);
    UnitCounter units(progress_, file.ProgressUnits);
    int64_t written = 0;
    std::string writeError;
    const bool resident = !file.Runs.empty() && !file.Runs[0].OnVolume;
    volume::ReadStatus status = volume::ReadFileData(
        file,
        [&](std::span<const uint8_t> bytes, bool volumeRead) {
            if (volumeRead)
                units.Step();
            if (!out->Write(bytes, writeError))
                return false;
            written += static_cast<int64_t>(bytes.size());
            BytesWritten += static_cast<int64_t>(bytes.size());
            if (!resident)
                progress_.FBytesWritten.Add(static_cast<int64_t>(bytes.size()));
            return true;
        },
        &StopRequested);
    std::string closeError;
    const bool closed = out->Close(closeError);
    out.reset();

    const bool ok = status == volume::ReadStatus::Ok && writeError.empty() && closed && written == file.FileSize;
    if (!ok) {
        if (!writeError.empty())
            outcome.Error = "cannot write " + target + ": " + writeError;
        else if (!closed)
            outcome.Error = "cannot write " + target + ": " + closeError;
        else
            outcome.Error = volume::ReadStatusText(status);
    } else {
        partial.Keep();
        outcome.Ok = true;
        outcome.Target = target;
        if (file.HasTimes)
            platform::SetFileTimes(target, file.CreatedTime, file.AccessedTime, file.ModifiedTime);
    }
    units.Finish();
    if (!StopRequested)
        platform::SleepMs(FilePauseMs);
    return outcome;
}
