// Names of directory entries: the 8.3 short name and the long name spread
// over the pieces in front of it.
#include <algorithm>

#include "fat/directory_entry.h"
#include "volume/text.h"

namespace {

std::string ReplaceQuestionMarks(std::string name) {
    std::replace(name.begin(), name.end(), '?', '_');
    return name;
}

} // namespace

namespace fat {

namespace entry = layout::entry;
namespace long_name = layout::long_name;

std::string ShortName(std::span<const uint8_t> e) {
    if (e.size() < entry::kSize)
        return {};
    // Folders keep their extension as files do: 2019.OLD is a folder's whole name.
    auto part = [&](size_t off, size_t len, bool lower) {
        std::string raw(reinterpret_cast<const char*>(e.data()) + off, len);
        if (off == entry::kName && static_cast<uint8_t>(raw[0]) == entry::kStandsForE5)
            raw[0] = static_cast<char>(entry::kDeletedMark);  // a live name that really begins with 0xE5
        std::string text = volume::TrimBlanks(volume::Windows1252ToUtf8(raw));
        return lower ? volume::AsciiLower(text) : text;
    };
    std::string name = part(entry::kName, entry::kNameLength, e[entry::kCaseFlags] & entry::kLowerCaseName);
    if (name != "." && name != "..") {
        std::string ext =
            part(entry::kExtension, entry::kExtensionLength, e[entry::kCaseFlags] & entry::kLowerCaseExtension);
        if (!ext.empty())
            name += "." + ext;
    }
    return ReplaceQuestionMarks(name);
}

LongName ReadLongName(std::span<const uint8_t> data, size_t& pos) {
    // Pieces of 13 UTF-16 units, stored last piece first, all carrying the
    // short name's checksum.
    LongName result;
    if (pos + entry::kSize > data.size())
        return result;
    result.checksum = data[pos + long_name::kChecksum];
    std::vector<std::vector<uint8_t>> pieces;
    while (pos + entry::kSize <= data.size() && data[pos + long_name::kAttributes] == entry::kAttrLongName &&
           data[pos + long_name::kChecksum] == result.checksum) {
        std::span<const uint8_t> lfn = data.subspan(pos, entry::kSize);
        std::vector<uint8_t> units;
        units.insert(units.end(), lfn.begin() + long_name::kUnits1, lfn.begin() + long_name::kUnits1End);
        units.insert(units.end(), lfn.begin() + long_name::kUnits2, lfn.begin() + long_name::kUnits2End);
        units.insert(units.end(), lfn.begin() + long_name::kUnits3, lfn.begin() + long_name::kUnits3End);
        pieces.push_back(std::move(units));
        pos += entry::kSize;
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

} // namespace fat
