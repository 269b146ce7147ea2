// Names of directory entries: the 8.3 short name and the long name spread
// over the pieces in front of it.
#include <algorithm>

#include "fat/directory_entry.h"
#include "fat/fat_disk.h"
#include "volume/text.h"

namespace {

std::string ReplaceQuestionMarks(std::string name) {
    std::replace(name.begin(), name.end(), '?', '_');
    return name;
}

} // namespace

std::string TDISK_FAT::ShortName(std::span<const uint8_t> e) {
    // 8.3 through the ANSI code page, lower-case flags honoured. Folders keep
    // their extension as files do: 2019.OLD is a folder's whole name.
    auto part = [&](size_t off, size_t len, bool lower) {
        std::string raw(reinterpret_cast<const char*>(e.data()) + off, len);
        if (off == 0 && static_cast<uint8_t>(raw[0]) == 0x05)
            raw[0] = static_cast<char>(0xE5);  // a live name that really begins with 0xE5
        std::string text = volume::TrimBlanks(volume::Windows1252ToUtf8(raw));
        return lower ? volume::AsciiLower(text) : text;
    };
    std::string name = part(0, 8, e[12] & 0x08);
    if (name != "." && name != "..") {
        std::string ext = part(8, 3, e[12] & 0x10);
        if (!ext.empty())
            name += "." + ext;
    }
    return ReplaceQuestionMarks(name);
}

TDISK_FAT::LongName TDISK_FAT::ReadLongName(std::span<const uint8_t> data, size_t& pos) const {
    // Pieces of 13 UTF-16 units, stored last piece first, all carrying the
    // short name's checksum in byte 13.
    LongName result;
    result.checksum = data[pos + 13];
    std::vector<std::vector<uint8_t>> pieces;
    while (pos + 32 <= data.size() && data[pos + 11] == fat::kAttrLongName && data[pos + 13] == result.checksum &&
           !IsStopped()) {
        std::span<const uint8_t> lfn = data.subspan(pos, 32);
        std::vector<uint8_t> units;
        units.insert(units.end(), lfn.begin() + 1, lfn.begin() + 11);
        units.insert(units.end(), lfn.begin() + 14, lfn.begin() + 26);
        units.insert(units.end(), lfn.begin() + 28, lfn.begin() + 32);
        pieces.push_back(std::move(units));
        pos += 32;
    }
    std::vector<uint8_t> units;
    for (auto it = pieces.rbegin(); it != pieces.rend(); ++it)
        units.insert(units.end(), it->begin(), it->end());
    size_t count = units.size() / 2;
    for (size_t i = 0; i < count; ++i) {
        if (units[2 * i] == 0 && units[2 * i + 1] == 0) {
            count = i;  // the name ends at its terminator; what follows is padding
            break;
        }
    }
    while (count > 0 && units[2 * count - 2] == 0xFF && units[2 * count - 1] == 0xFF)
        --count;
    result.text = ReplaceQuestionMarks(volume::Utf16LeToUtf8(units.data(), count));
    return result;
}
