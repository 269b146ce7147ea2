#include "recover/recovery_report.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <sstream>

#include <pugixml.hpp>

#include "media/container.h"

namespace recover {

namespace {

constexpr FileTime kTicksPerSecond = 10000000;
constexpr FileTime kUnixEpochTicks = 116444736000000000ull;  // 1970-01-01 in FILETIME ticks
constexpr char kOwnNamespace[] = "urn:dunro:dfxml";

const char* OffsetSpaceOf(media::ContainerFormat format) {
    switch (format) {
    case media::ContainerFormat::Raw: return "image";
    case media::ContainerFormat::Split: return "joined pieces";
    default: return "media";
    }
}

// What the offsets count, in words, for a reader of the report who does not
// know the words above.
std::string OffsetSpaceText(const ReportVolume& v) {
    if (v.OffsetSpace == "image")
        return "counted from the first byte of " + v.Path;
    if (v.OffsetSpace == "joined pieces")
        return "counted through the pieces of " + v.Path + " joined in order";
    return "counted in the disk the " + v.Container + " container holds, as it presents it, not in the container file";
}

const ReportVolume* VolumeOf(const ReportJob& job, const TMyFile& file) {
    for (const ReportVolume& v : job.Volumes)
        if (v.Drive == file.Drive)
            return &v;
    return nullptr;
}

// The found file's path and name as its volume held them, with slashes.
std::string OriginalPath(const TMyFile& file) {
    std::string path = file.FolderPath;
    for (char& c : path)
        if (c == '\\')
            c = '/';
    if (!path.empty() && path.back() != '/')
        path += '/';
    return path + file.FileName;
}

// Which search found the file: its file system's records, or its content.
const char* FoundBy(const TMyFile& file) { return file.FoundBy == kFoundByContent ? "content" : "file system"; }

std::string OutcomeWord(const RecoveryOutcome& o) {
    if (!o.Ok)
        return "failed";
    return o.UnreadableBytes ? "recovered with unreadable bytes" : "recovered";
}

std::string Number(uint64_t v) { return std::to_string(v); }

void AddText(pugi::xml_node parent, const char* name, const std::string& text) {
    parent.append_child(name).text().set(text.c_str());
}

void AddTime(pugi::xml_node parent, const char* name, FileTime time) {
    if (time)
        AddText(parent, name, IsoTime(time));
}

void AddFileObject(pugi::xml_node volume, const RecoveryOutcome& o, uint64_t partitionOffset) {
    const TMyFile& file = *o.File;
    pugi::xml_node fo = volume.append_child("fileobject");
    AddText(fo, "filename", OriginalPath(file));
    AddText(fo, "filesize", std::to_string(file.FileSize));
    AddText(fo, "unalloc", "1");
    if (file.RecordNo >= 0)
        AddText(fo, "inode", std::to_string(file.RecordNo));
    if (file.HasTimes) {
        AddTime(fo, "mtime", file.ModifiedTime);
        AddTime(fo, "atime", file.AccessedTime);
        AddTime(fo, "crtime", file.CreatedTime);
        AddTime(fo, "ctime", file.ChangedTime);
    }
    pugi::xml_node runs = fo.append_child("byte_runs");
    for (const ByteRun& r : ByteRunsOf(file, partitionOffset)) {
        pugi::xml_node run = runs.append_child("byte_run");
        run.append_attribute("file_offset") = Number(r.FileOffset).c_str();
        if (r.Fill) {
            run.append_attribute("fill") = "0";
        } else {
            run.append_attribute("fs_offset") = Number(r.VolumeOffset).c_str();
            run.append_attribute("img_offset") = Number(r.ImageOffset).c_str();
        }
        run.append_attribute("len") = Number(r.Length).c_str();
        if (r.Resident)
            run.append_attribute("type") = "resident";
        if (r.Compressed)
            run.append_attribute("type") = "compressed";
    }
    if (!o.Sha256.empty()) {
        pugi::xml_node sha = fo.append_child("hashdigest");
        sha.append_attribute("type") = "sha256";
        sha.text().set(o.Sha256.c_str());
        pugi::xml_node md5 = fo.append_child("hashdigest");
        md5.append_attribute("type") = "md5";
        md5.text().set(o.Md5.c_str());
    }
    AddText(fo, "dunro:grade", StateWord(file.State));
    AddText(fo, "dunro:found_by", FoundBy(file));
    if (!o.WrittenName.empty())
        AddText(fo, "dunro:written_name", o.WrittenName);
    pugi::xml_node outcome = fo.append_child("dunro:outcome");
    outcome.append_attribute("status") = OutcomeWord(o).c_str();
    if (o.Ok && o.UnreadableBytes)
        outcome.append_attribute("unreadable_bytes") = Number(o.UnreadableBytes).c_str();
    if (!o.Ok)
        outcome.text().set(o.Error.c_str());
}

std::string CsvField(const std::string& s) {
    if (s.find_first_of(",\"\r\n") == std::string::npos)
        return s;
    std::string out = "\"";
    for (char c : s) {
        if (c == '"')
            out += '"';
        out += c;
    }
    return out + "\"";
}

std::string RunsText(const TMyFile& file, uint64_t partitionOffset) {
    std::string out;
    for (const ByteRun& r : ByteRunsOf(file, partitionOffset)) {
        if (!out.empty())
            out += ' ';
        out += r.Fill ? "fill" : Number(r.ImageOffset);
        out += '+' + Number(r.Length);
    }
    return out;
}

} // namespace

ReportVolume SourceOfDrive(const TDriverInfo& drive) {
    ReportVolume v;
    v.Drive = &drive;
    v.Path = drive.DriveName;
    if (!drive.Source)
        return v;
    const media::SourceOrigin origin = drive.Source->Origin();
    if (origin.Path.empty())
        return v;
    v.Path = origin.Path;
    v.Container = media::ContainerName(origin.Container);
    v.OffsetSpace = OffsetSpaceOf(origin.Container);
    v.PartitionOffset = origin.Offset;
    return v;
}

std::vector<ByteRun> ByteRunsOf(const TMyFile& file, uint64_t partitionOffset) {
    std::vector<ByteRun> runs;
    const uint64_t size = file.FileSize > 0 ? static_cast<uint64_t>(file.FileSize) : 0;
    uint64_t at = 0;
    const bool compressed = file.CompressionUnit != 0;
    for (const TMyFileRun& run : file.Runs) {
        if (at >= size && !compressed)
            break;
        if (run.RunLength <= 0)
            continue;
        // Compressed data takes fewer bytes than it gives: every stretch counts whole.
        const uint64_t length =
            compressed ? static_cast<uint64_t>(run.RunLength) : std::min<uint64_t>(run.RunLength, size - at);
        ByteRun out;
        out.FileOffset = at;
        out.Length = length;
        out.Compressed = compressed;
        if (run.IsHole) {
            out.Fill = true;
        } else if (!run.OnVolume) {
            out.Resident = true;
            const uint64_t first = run.SplitLength && run.SplitLength < length ? run.SplitLength : length;
            out.VolumeOffset = static_cast<uint64_t>(run.RunStart) + run.ResidentOffset;
            out.ImageOffset = partitionOffset + out.VolumeOffset;
            out.Length = first;
            runs.push_back(out);
            if (first < length && run.SplitStart >= 0) {
                out.FileOffset = at + first;
                out.VolumeOffset = static_cast<uint64_t>(run.SplitStart);
                out.ImageOffset = partitionOffset + out.VolumeOffset;
                out.Length = length - first;
                runs.push_back(out);
            }
            at += length;
            continue;
        } else {
            out.VolumeOffset = static_cast<uint64_t>(run.RunStart);
            out.ImageOffset = partitionOffset + out.VolumeOffset;
        }
        runs.push_back(out);
        at += length;
    }
    return runs;
}

std::string IsoTime(FileTime time) {
    if (time < kUnixEpochTicks)
        return time ? "1601-01-01T00:00:00Z" : std::string();
    // Days since 1970 to a civil date (proleptic Gregorian).
    const int64_t seconds = static_cast<int64_t>((time - kUnixEpochTicks) / kTicksPerSecond);
    int64_t days = seconds / 86400;
    const int64_t rest = seconds % 86400;
    days += 719468;
    const int64_t era = days / 146097;
    const int64_t dayOfEra = days - era * 146097;
    const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t mp = (5 * dayOfYear + 2) / 153;
    const int64_t day = dayOfYear - (153 * mp + 2) / 5 + 1;
    const int64_t month = mp < 10 ? mp + 3 : mp - 9;
    const int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
    char text[64];
    std::snprintf(text, sizeof text, "%04lld-%02lld-%02lldT%02lld:%02lld:%02lldZ", static_cast<long long>(year),
                  static_cast<long long>(month), static_cast<long long>(day), static_cast<long long>(rest / 3600),
                  static_cast<long long>(rest / 60 % 60), static_cast<long long>(rest % 60));
    return text;
}

FileTime FileTimeNow() {
    const auto since = std::chrono::system_clock::now().time_since_epoch();
    return kUnixEpochTicks + static_cast<FileTime>(std::chrono::duration_cast<std::chrono::microseconds>(since).count()) * 10;
}

std::string ReportXml(const ReportJob& job, const std::vector<RecoveryOutcome>& outcomes) {
    pugi::xml_document doc;
    pugi::xml_node declaration = doc.append_child(pugi::node_declaration);
    declaration.append_attribute("version") = "1.0";
    declaration.append_attribute("encoding") = "UTF-8";
    pugi::xml_node root = doc.append_child("dfxml");
    root.append_attribute("version") = "1.0";
    root.append_attribute("xmlns") = "http://www.forensicswiki.org/wiki/Category:Digital_Forensics_XML";
    root.append_attribute("xmlns:dc") = "http://purl.org/dc/elements/1.1/";
    root.append_attribute("xmlns:dunro") = kOwnNamespace;
    pugi::xml_node metadata = root.append_child("metadata");
    AddText(metadata, "dc:type", "Recovery Report");

    pugi::xml_node creator = root.append_child("creator");
    creator.append_attribute("version") = "1.0";
    AddText(creator, "program", "Dunro Data Recovery");
    AddText(creator, "version", job.Version);
    pugi::xml_node environment = creator.append_child("execution_environment");
    AddText(environment, "command_line", job.CommandLine);
    AddText(environment, "start_time", IsoTime(job.Started));

    // One source per image, however many of its partitions files came from.
    std::vector<std::string> named;
    for (const ReportVolume& v : job.Volumes) {
        if (std::find(named.begin(), named.end(), v.Path) != named.end())
            continue;
        named.push_back(v.Path);
        pugi::xml_node source = root.append_child("source");
        AddText(source, "image_filename", v.Path);
        if (v.Container.empty())
            continue;
        AddText(source, "dunro:container", v.Container);
        pugi::xml_node space = source.append_child("dunro:img_offsets");
        space.append_attribute("space") = v.OffsetSpace.c_str();
        space.text().set(OffsetSpaceText(v).c_str());
    }
    for (const ReportVolume& v : job.Volumes) {
        pugi::xml_node volume = root.append_child("volume");
        volume.append_attribute("offset") = Number(v.PartitionOffset).c_str();
        AddText(volume, "partition_offset", Number(v.PartitionOffset));
        AddText(volume, "dunro:image_filename", v.Path);
        AddText(volume, "ftype_str", v.FileSystem);
        AddText(volume, "dunro:label", v.Label);
        for (const RecoveryOutcome& o : outcomes)
            if (o.File && VolumeOf(job, *o.File) == &v)
                AddFileObject(volume, o, v.PartitionOffset);
    }
    pugi::xml_node end = root.append_child("dunro:job");
    AddText(end, "dunro:destination", job.Destination);
    AddText(end, "dunro:end_time", IsoTime(job.Ended));
    AddText(end, "dunro:ending", !job.FailureText.empty() ? "failed" : job.Stopped ? "stopped" : "finished");
    if (!job.FailureText.empty())
        AddText(end, "dunro:reason", job.FailureText);
    size_t recovered = 0;
    for (const RecoveryOutcome& o : outcomes)
        recovered += o.Ok ? 1 : 0;
    AddText(end, "dunro:files_attempted", std::to_string(outcomes.size()));
    AddText(end, "dunro:files_recovered", std::to_string(recovered));

    std::ostringstream out;
    doc.save(out, "  ", pugi::format_default | pugi::format_no_declaration);
    return out.str();
}

std::string ReportCsv(const ReportJob& job, const std::vector<RecoveryOutcome>& outcomes) {
    std::string out =
        "source,container,partition_offset,original_path,written_name,size,modified,accessed,created,changed,grade,"
        "found_by,byte_runs,sha256,md5,outcome,unreadable_bytes,reason\r\n";
    for (const RecoveryOutcome& o : outcomes) {
        if (!o.File)
            continue;
        const TMyFile& f = *o.File;
        const ReportVolume* v = VolumeOf(job, f);
        const bool times = f.HasTimes;
        const std::vector<std::string> fields = {
            v ? v->Path : std::string(),
            v ? v->Container : std::string(),
            v ? Number(v->PartitionOffset) : std::string(),
            OriginalPath(f),
            o.WrittenName,
            std::to_string(f.FileSize),
            times ? IsoTime(f.ModifiedTime) : "",
            times ? IsoTime(f.AccessedTime) : "",
            times ? IsoTime(f.CreatedTime) : "",
            times ? IsoTime(f.ChangedTime) : "",
            StateWord(f.State),
            FoundBy(f),
            RunsText(f, v ? v->PartitionOffset : 0),
            o.Sha256,
            o.Md5,
            OutcomeWord(o),
            std::to_string(o.UnreadableBytes),
            o.Ok ? std::string() : o.Error};
        for (size_t i = 0; i < fields.size(); ++i)
            out += (i ? "," : "") + CsvField(fields[i]);
        out += "\r\n";
    }
    return out;
}

} // namespace recover
