#include "platform/drives.h"
#include "platform/win32/wide.h"

#include <cstdlib>

namespace platform {

std::vector<DriveEntry> LogicalDrives() {
    std::vector<DriveEntry> drives;
    wchar_t buffer[260] = {};
    DWORD length = GetLogicalDriveStringsW(260, buffer);
    if (length <= 3 || length > 260)
        return drives;
    for (DWORD i = 0; i + 3 < length + 1; i += 4) {
        std::string name = Narrow(std::wstring(1, buffer[i])) + ":";
        drives.push_back({name, DriveTypeOf(name)});
    }
    return drives;
}

static bool IsDriveLetterName(const std::string& name) {
    return (name.size() == 2 || (name.size() == 3 && (name[2] == '\\' || name[2] == '/'))) && name[1] == ':';
}

uint32_t DriveTypeOf(const std::string& name) {
    if (IsDriveLetterName(name))
        return GetDriveTypeW(Widen(name.substr(0, 1) + ":\\").c_str());
    DWORD attributes = GetFileAttributesW(Widen(name).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return kDriveNoRoot;
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? kDriveUnknown : kDriveFixed;
}

std::string SystemDriveName() {
    const char* windir = std::getenv("WINDIR");
    if (!windir || std::string(windir).size() < 2)
        return {};
    return std::string(windir).substr(0, 2);
}

std::optional<std::string> SystemVolumeLabel(const std::string& drive) {
    if (drive.size() != 2 || drive[1] != ':')
        return std::nullopt;
    wchar_t label[260] = {};
    if (!GetVolumeInformationW(Widen(drive + "/").c_str(), label, 260, nullptr, nullptr, nullptr, nullptr, 0))
        return std::string();
    return Narrow(label);
}

std::optional<SpaceInfo> MountedDriveSpace(const std::string& drive) {
    if (drive.size() != 2 || drive[1] != ':')
        return std::nullopt;
    return FolderSpace(drive + "\\");
}

std::optional<SpaceInfo> FolderSpace(const std::string& folder) {
    ULARGE_INTEGER freeToCaller{}, total{};
    if (!GetDiskFreeSpaceExW(Widen(folder).c_str(), &freeToCaller, &total, nullptr))
        return std::nullopt;
    return SpaceInfo{static_cast<int64_t>(freeToCaller.QuadPart), static_cast<int64_t>(total.QuadPart)};
}

std::string DriveOfFolder(const std::string& folder) {
    if (folder.size() >= 2 && folder[1] == ':')
        return folder.substr(0, 2);
    return {};
}

std::optional<FolderVolume> LocateFolder(const std::string& folder) {
    const std::wstring wide = Widen(folder);
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return std::nullopt;
    wchar_t full[MAX_PATH * 4] = {};
    const DWORD length = GetFullPathNameW(wide.c_str(), MAX_PATH * 4, full, nullptr);
    if (length == 0 || length >= MAX_PATH * 4)
        return std::nullopt;
    std::string path = Narrow(std::wstring(full, length));
    for (char& c : path)
        if (c == '/')
            c = '\\';
    FolderVolume place;
    std::wstring root;
    if (path.size() >= 2 && path[1] == ':') {
        place.drive = CanonicalDriveName(path.substr(0, 2));
        place.pathInside = path.size() > 3 ? path.substr(3) : std::string();
        root = Widen(place.drive + "\\");
    } else {
        // A network share (\\server\share\...) is no drive of this computer.
        place.fileSystem = "network";
        return place;
    }
    while (!place.pathInside.empty() && place.pathInside.back() == '\\')
        place.pathInside.pop_back();
    wchar_t fileSystem[64] = {};
    if (GetVolumeInformationW(root.c_str(), nullptr, 0, nullptr, nullptr, nullptr, fileSystem, 64))
        place.fileSystem = Narrow(fileSystem);
    if (GetDriveTypeW(root.c_str()) == DRIVE_REMOTE)
        place.drive.clear();
    return place;
}

} // namespace platform

namespace platform {


bool DriveNamesEqual(const std::string& a, const std::string& b) {
    return a.size() == b.size() && CompareStringOrdinal(Widen(a).c_str(), -1, Widen(b).c_str(), -1, TRUE) == CSTR_EQUAL;
}

std::string CanonicalDriveName(const std::string& name) {
    if (!IsDriveLetterName(name))
        return name;
    char letter = name[0];
    if (letter >= 'a' && letter <= 'z')
        letter = static_cast<char>(letter - 32);
    return std::string(1, letter) + ":";
}

bool IsVolumeImage(const std::string& name) {
    if (IsDriveLetterName(name))
        return false;
    DWORD a = GetFileAttributesW(Widen(name).c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

} // namespace platform
