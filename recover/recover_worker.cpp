#include "recover/recover_worker.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <span>
#include <utility>

#include "platform/clock.h"
#include "platform/destination_folder.h"
#include "platform/files.h"
#include "recover/digest_pipeline.h"
#include "recover/safe_name.h"
#include "scan/disk.h"
#include "volume/byte_reader.h"
#include "volume/file_data.h"
#include "volume/helpers.h"

TThreadRecover::TThreadRecover(TUnDeleteProgress& progress, MessageSink* sink) : progress_(progress), sink_(sink) {
    progress_.ResetRecovery();
    progress_.FRecoverIdle = true;
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
    ReportPath.clear();
    ReportError.clear();
    JobBytes = 0;
    progress_.ResetRecovery();
    progress_.FRecoverIdle = true;
    progress_.FRecoverDone = true;
    for (TMyFile* f : allFiles)
        if (f->Checked)
            AddFile(f);
}

bool TThreadRecover::OpenDestination(const std::string& folder, std::string& error) {
    folder_ = platform::DestinationFolder::Open(folder, error);
    destinationError_ = error;
    return folder_ != nullptr;
}

void TThreadRecover::CloseDestination() { folder_.reset(); }

void TThreadRecover::DescribeVolumes(const std::vector<std::unique_ptr<TMyDisk>>& disks) {
    volumes_.clear();
    for (const auto& disk : disks) {
        if (!disk || !disk->Drive)
            continue;
        VolumeFacts facts;
        facts.FolderName = recover::VolumeFolderName(disk->Caption, disk->DriveName);
        facts.Folders = &disk->Folders;
        facts.Report = recover::SourceOfDrive(*disk->Drive);
        if (disk->Reader) {
            facts.Report.FileSystem = disk->Reader->FileSystemName();
            facts.Reader = disk->Reader.get();
        }
        volumes_.push_back(std::move(facts));
    }
}

const TThreadRecover::VolumeFacts* TThreadRecover::FactsOf(const TDriverInfo* drive) const {
    for (const VolumeFacts& v : volumes_)
        if (v.Report.Drive == drive)
            return &v;
    return nullptr;
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
    started_ = recover::FileTimeNow();
    // Only the volumes the job reads from are asked: another listed drive may
    // be slow or failing.
    for (VolumeFacts& v : volumes_) {
        const bool used = std::any_of(Jobs.begin(), Jobs.end(), [&v](const TMyFile* f) { return f->Drive == v.Report.Drive; });
        if (WriteReport && used && v.Reader && v.Report.Label.empty())
            v.Report.Label = v.Reader->VolumeLabel();
    }
    // A job started without the checks opens its folder here.
    std::string openError;
    if ((!folder_ || folder_->Path() != Destination) && !Jobs.empty())
        OpenDestination(Destination, openError);
    Damage.Reset();
    maxFileSize_.reset();
    awaitedDigests_.clear();
    awaitedDigests_.reserve(Jobs.size());
    for (TMyFile* file : Jobs) {
        if (!WaitWhilePaused())
            break;
        progress_.FRecoverAttempted.Add(1);
        inProgress_ = file;
        keptDigests_.reset();
        RecoveryOutcome outcome = RecoverFile(*file);
        if (outcome.Ok)
            progress_.FRecoverSucceeded.Add(1);
        if (keptDigests_)
            awaitedDigests_.emplace_back(Outcomes.size(), *keptDigests_);
        Outcomes.push_back(std::move(outcome));
        inProgress_ = nullptr;
        if (!WaitWhilePaused())
            break;
    }
    EndJob();
}

void TThreadRecover::EndJob() {
    // A stopped or failed job leaves its folders timed and its report too:
    // they tell what was done until then.
    try {
        openSub_.reset();
        into_ = nullptr;
        SetFolderTimes();
        TakeDigests();
        SaveReport();
    } catch (...) {
        ReportError = "there was not enough memory to write it";
    }
    digests_.reset();
    awaitedDigests_.clear();
    openWanted_.clear();
    renamedFolders_.clear();
    folderTimes_.clear();
    folder_.reset();
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
        if (file) {
            RecoveryOutcome failed;
            failed.File = file;
            failed.Error = reason;
            Outcomes.push_back(std::move(failed));
        }
    } catch (...) {
        // Memory is short: the flags below still tell the front end.
    }
    progress_.FRecoverFailed = true;
    EndJob();
}

namespace {

// A copy being written under its temporary name: closed and removed when it
// goes out of scope unless it was kept.
class PartialCopy {
public:
    PartialCopy(std::unique_ptr<platform::OutputFile>& out, platform::DestinationFolder& folder,
                const std::string& temporary)
        : out_(out), folder_(folder), temporary_(temporary) {}
    ~PartialCopy() {
        if (kept_)
            return;
        out_.reset();  // Windows removes no file that is still open
        folder_.Remove(temporary_);
    }
    PartialCopy(const PartialCopy&) = delete;
    PartialCopy& operator=(const PartialCopy&) = delete;
    void Keep() { kept_ = true; }

private:
    std::unique_ptr<platform::OutputFile>& out_;
    platform::DestinationFolder& folder_;
    const std::string& temporary_;
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
    if (!maxFileSize_)
        maxFileSize_ = platform::MaxFileSizeIn(Destination);
    if (static_cast<uint64_t>(file.FileSize) > *maxFileSize_) {
        outcome.Error = "the destination's file system cannot hold a file this large";
        return outcome;
    }

    if (!folder_) {
        outcome.Error = "cannot open " + Destination + ": " + destinationError_;
        return outcome;
    }
    // The copy is written under a temporary name and takes its own name only
    // when whole: a job killed, or a machine losing power, leaves no part of
    // a file under a name that looks finished.
    const std::string wanted = SafeFileName(file.FileName, kWindowsNameRules);
    std::string temporary, error;
    into_ = FolderFor(file, error);
    if (!into_) {
        outcome.Error = error;
        return outcome;
    }
    std::unique_ptr<platform::OutputFile> out = into_->CreateTemporary(temporary, error);
    if (!out) {
        outcome.Error = "cannot create a file in " + PathInDestination("") + ": " + error;
        return outcome;
    }

    // However this function is left, an exception included, an incomplete
    // copy does not stay behind.
    PartialCopy partial(out, *into_, temporary);
    // Only the report shows the digests. They are worked out on threads of
    // their own while the next files are written; a copy that is not kept
    // here is never given them.
    recover::DigestPipeline* digests = nullptr;
    size_t digestNumber = 0;
    if (WriteReport) {
        if (!digests_)
            digests_ = std::make_unique<recover::DigestPipeline>();
        digests = digests_.get();
        digestNumber = digests->Begin();
    }
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
            if (digests)
                digests->Add(bytes);
            written += static_cast<int64_t>(bytes.size());
            BytesWritten += static_cast<int64_t>(bytes.size());
            if (!resident)
                progress_.FBytesWritten.Add(static_cast<int64_t>(bytes.size()));
            return true;
        },
        &StopRequested, &Damage, &outcome.UnreadableBytes);
    const bool whole = status == volume::ReadStatus::Ok && writeError.empty() && written == file.FileSize;
    std::string finalName, finishError;
    if (!whole) {
        outcome.UnreadableBytes = 0;
        if (!writeError.empty())
            outcome.Error = "cannot write " + PathInDestination(wanted) + ": " + writeError;
        else
            outcome.Error = volume::ReadStatusText(status);
    } else if (!FinishCopy(out, file, temporary, wanted, finalName, finishError)) {
        outcome.UnreadableBytes = 0;
        outcome.Error = finishError;
    } else {
        partial.Keep();
        outcome.Ok = true;
        outcome.Target = PathInDestination(finalName);
        outcome.WrittenName = intoPath_ + finalName;
        if (digests) {
            digests->Keep();
            keptDigests_ = digestNumber;
        }
    }
    units.Finish();
    if (!StopRequested)
        platform::SleepMs(FilePauseMs);
    return outcome;
}

// Each kept copy's digests into its outcome, once every piece is hashed.
void TThreadRecover::TakeDigests() {
    if (!digests_)
        return;
    std::map<size_t, recover::FileDigests> found = digests_->Finish();
    for (const auto& [index, number] : awaitedDigests_) {
        auto it = found.find(number);
        if (it == found.end() || index >= Outcomes.size())
            continue;
        Outcomes[index].Sha256 = std::move(it->second.Sha256);
        Outcomes[index].Md5 = std::move(it->second.Md5);
    }
}

std::string TThreadRecover::PathInDestination(const std::string& name) const {
    std::string path = Destination;
    if (path.empty() || path.back() != platform::PathDelimiter())
        path += platform::PathDelimiter();
    return path + intoPath_ + name;
}

platform::DestinationFolder* TThreadRecover::FolderFor(const TMyFile& file, std::string& error) {
    const VolumeFacts* facts = FactsOf(file.Drive);
    const std::string volumeFolder =
        facts ? facts->FolderName
              : recover::VolumeFolderName(std::string(), file.Drive ? file.Drive->DriveName : std::string());
    const std::vector<recover::TargetFolder> wanted =
        recover::TargetFolders(file, volumeFolder, facts ? facts->Folders : nullptr, KeepFolders);
    return OpenFolders(wanted, error);
}

// Each folder is made, or opened, inside the one held before it, never by
// its path: a link planted anywhere below the destination is not followed.
// Files of one folder mostly come one after another, so the last folder
// stays open for the next file.
platform::DestinationFolder* TThreadRecover::OpenFolders(const std::vector<recover::TargetFolder>& wanted,
                                                         std::string& error) {
    std::vector<std::string> names;
    for (const recover::TargetFolder& f : wanted)
        names.push_back(f.Name);
    if (names.empty()) {
        intoPath_.clear();
        return folder_.get();
    }
    if (openSub_ && names == openWanted_)
        return openSub_.get();
    openSub_.reset();
    openWanted_.clear();
    intoPath_.clear();
    std::unique_ptr<platform::DestinationFolder> held;
    platform::DestinationFolder* parent = folder_.get();
    std::string wantedPath;
    std::vector<std::string> madePath;
    for (size_t i = 0; i < wanted.size(); ++i) {
        wantedPath += names[i] + '/';
        auto renamed = renamedFolders_.find(wantedPath);
        std::string name = renamed != renamedFolders_.end() ? renamed->second : names[i];
        std::string why;
        bool made = false, notFolder = false;
        auto next = parent->OpenSubfolder(name, true, why, made, notFolder);
        // A file (or a link) already carries the folder's name: the folder
        // is numbered as a clashing file would be.
        if (!next && notFolder && renamed == renamedFolders_.end()) {
            platform::DestinationFolder& in = *parent;
            if (volume::UniqueFileName(name, [&in](const std::string& n) { return in.Has(n); })) {
                next = parent->OpenSubfolder(name, true, why, made, notFolder);
                if (next)
                    renamedFolders_[wantedPath] = name;
            }
        }
        if (!next) {
            error = "cannot make the folder " + PathInDestination(name) + ": " + why;
            intoPath_.clear();
            return nullptr;
        }
        if (made && FileOwner && !next->GiveTo(FileOwner->Uid, FileOwner->Gid, why)) {
            error = "cannot give " + PathInDestination(name) + " to " + FileOwner->Name + ": " + why;
            intoPath_.clear();
            return nullptr;
        }
        intoPath_ += name + platform::PathDelimiter();
        madePath.push_back(name);
        if (wanted[i].ModifiedTime || wanted[i].CreatedTime)
            folderTimes_[madePath] = {wanted[i].ModifiedTime, wanted[i].CreatedTime};
        held = std::move(next);
        parent = held.get();
    }
    openSub_ = std::move(held);
    openWanted_ = std::move(names);
    return openSub_.get();
}

// After the files are in, as writing them moves a folder's time; the
// deepest first, as setting a folder's time leaves its parent's alone.
void TThreadRecover::SetFolderTimes() {
    if (!folder_)
        return;
    std::vector<std::pair<std::vector<std::string>, FolderTimes>> order(folderTimes_.begin(), folderTimes_.end());
    std::stable_sort(order.begin(), order.end(),
                     [](const auto& a, const auto& b) { return a.first.size() > b.first.size(); });
    for (const auto& [path, times] : order) {
        std::unique_ptr<platform::DestinationFolder> held;
        platform::DestinationFolder* at = folder_.get();
        for (const std::string& name : path) {
            std::string why;
            bool made = false, notFolder = false;
            held = at->OpenSubfolder(name, false, why, made, notFolder);
            if (!held)
                break;
            at = held.get();
        }
        // The creation time is kept where the system lets it be set (Windows).
        if (held)
            held->SetTimes(times.Created, 0, times.Modified);
    }
}

// A whole copy gets its owner and times while still open (the times after the
// last write, which would move them), is closed, and only then gets its name.
bool TThreadRecover::FinishCopy(std::unique_ptr<platform::OutputFile>& out, const TMyFile& file,
                                const std::string& temporary, const std::string& wanted, std::string& finalName,
                                std::string& error) {
    std::string why;
    if (FileOwner && !out->GiveTo(FileOwner->Uid, FileOwner->Gid, why)) {
        error = "cannot give " + PathInDestination(wanted) + " to " + FileOwner->Name + ": " + why;
        return false;
    }
    if (file.HasTimes)
        out->SetTimes(file.CreatedTime, file.AccessedTime, file.ModifiedTime);
    const bool closed = out->Close(why);
    out.reset();
    if (!closed) {
        error = "cannot write " + PathInDestination(wanted) + ": " + why;
        return false;
    }
    return NameFinishedCopy(temporary, wanted, finalName, error);
}

// The found name, numbered as name(0).ext, name(1).ext, ... when taken. The
// rename never replaces a file: a name taken in the moment between the look
// and the rename makes us look again.
bool TThreadRecover::NameFinishedCopy(const std::string& temporary, const std::string& wanted, std::string& finalName,
                                      std::string& error) {
    platform::DestinationFolder& folder = *into_;
    for (int attempt = 0; attempt < 100; ++attempt) {
        finalName = wanted;
        if (!volume::UniqueFileName(finalName, [&folder](const std::string& name) { return folder.Has(name); })) {
            error = "no free name was found for it";
            return false;
        }
        switch (folder.RenameNoReplace(temporary, finalName, error)) {
        case platform::DestinationFolder::RenameResult::Done:
            return true;
        case platform::DestinationFolder::RenameResult::NameTaken:
            continue;
        case platform::DestinationFolder::RenameResult::Failed:
            error = "cannot name " + PathInDestination(finalName) + ": " + error;
            return false;
        }
    }
    error = "no free name was found for it";
    return false;
}

namespace {

// Writes a report file under a temporary name and gives it its name only
// when whole; the name is numbered, as a recovered file's is, when taken.
bool SaveInFolder(platform::DestinationFolder& folder, const std::string& content, const std::string& wanted,
                  const std::optional<platform::InvokingUser>& owner, std::string& finalName, std::string& error) {
    std::string temporary;
    std::unique_ptr<platform::OutputFile> out = folder.CreateTemporary(temporary, error);
    if (!out)
        return false;
    PartialCopy partial(out, folder, temporary);
    const auto* bytes = reinterpret_cast<const uint8_t*>(content.data());
    if (!out->Write(std::span<const uint8_t>(bytes, content.size()), error))
        return false;
    if (owner && !out->GiveTo(owner->Uid, owner->Gid, error))
        return false;
    const bool closed = out->Close(error);
    out.reset();
    if (!closed)
        return false;
    for (int attempt = 0; attempt < 100; ++attempt) {
        finalName = wanted;
        if (!volume::UniqueFileName(finalName, [&folder](const std::string& name) { return folder.Has(name); }))
            break;
        switch (folder.RenameNoReplace(temporary, finalName, error)) {
        case platform::DestinationFolder::RenameResult::Done:
            partial.Keep();
            return true;
        case platform::DestinationFolder::RenameResult::NameTaken:
            continue;
        case platform::DestinationFolder::RenameResult::Failed:
            return false;
        }
    }
    error = "no free name was found for it";
    return false;
}

// A report put where the user named it: written beside it first, then
// renamed over whatever carried the name.
bool SaveAtPath(const std::string& path, const std::string& content, std::string& error) {
    // Paths are UTF-8 here; the system's narrow calls would read them in its code page on Windows.
    auto utf8 = [](const std::string& s) { return std::filesystem::path(std::u8string(s.begin(), s.end())); };
    const std::filesystem::path temporary = utf8(path + ".part");
    std::error_code code;
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(content.data(), static_cast<std::streamsize>(content.size()));
        out.close();
        if (!out) {
            error = "cannot write it";
            std::filesystem::remove(temporary, code);
            return false;
        }
    }
    std::filesystem::rename(temporary, utf8(path), code);
    if (code) {
        error = code.message();
        std::filesystem::remove(temporary, code);
        return false;
    }
    return true;
}

std::string CsvNameBeside(const std::string& xmlName) {
    const size_t dot = xmlName.find_last_of('.');
    const size_t slash = xmlName.find_last_of("/\\");
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return xmlName + ".csv";
    return xmlName.substr(0, dot) + ".csv";
}

} // namespace

void TThreadRecover::SaveReport() {
    if (!WriteReport || (Outcomes.empty() && Jobs.empty()))
        return;
    recover::ReportJob job;
    job.Version = DUNRO_VERSION;
    job.CommandLine = CommandLine;
    job.Destination = Destination;
    job.Started = started_;
    job.Ended = recover::FileTimeNow();
    job.Stopped = Outcomes.size() < Jobs.size();
    job.FailureText = FailureText;
    for (const RecoveryOutcome& o : Outcomes) {
        if (!o.File)
            continue;
        const bool listed = std::any_of(job.Volumes.begin(), job.Volumes.end(),
                                        [&o](const recover::ReportVolume& v) { return v.Drive == o.File->Drive; });
        if (listed)
            continue;
        if (const VolumeFacts* facts = FactsOf(o.File->Drive)) {
            job.Volumes.push_back(facts->Report);
        } else if (o.File->Drive) {
            job.Volumes.push_back(recover::SourceOfDrive(*o.File->Drive));
        } else {
            recover::ReportVolume v;
            job.Volumes.push_back(v);
        }
    }
    const std::string xml = recover::ReportXml(job, Outcomes);
    const std::string csv = recover::ReportCsv(job, Outcomes);
    std::string error;
    if (!ReportFile.empty()) {
        if (!SaveAtPath(ReportFile, xml, error)) {
            ReportError = "cannot write " + ReportFile + ": " + error;
            return;
        }
        ReportPath = ReportFile;
        if (!SaveAtPath(CsvNameBeside(ReportFile), csv, error))
            ReportError = "cannot write " + CsvNameBeside(ReportFile) + ": " + error;
        return;
    }
    if (!folder_) {
        ReportError = "cannot open " + Destination + ": " + destinationError_;
        return;
    }
    intoPath_.clear();
    // The CSV takes the name the XML got, numbered alike.
    std::string xmlName;
    if (!SaveInFolder(*folder_, xml, recover::kReportName, FileOwner, xmlName, error)) {
        ReportError = "cannot write " + PathInDestination(recover::kReportName) + ": " + error;
        return;
    }
    ReportPath = PathInDestination(xmlName);
    std::string csvName;
    if (!SaveInFolder(*folder_, csv, CsvNameBeside(xmlName), FileOwner, csvName, error))
        ReportError = "cannot write " + PathInDestination(CsvNameBeside(xmlName)) + ": " + error;
}
