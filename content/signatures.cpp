#include "content/signatures.h"

#include "content/decoders.h"

namespace content {

namespace {
using namespace std::string_view_literals;
constexpr uint64_t kMiB = 1ull << 20;
constexpr uint64_t kGiB = 1ull << 30;

// The bounds are the largest files each kind plausibly holds; they keep a
// walk over a damaged volume from reading it whole.
const Signature kSignatures[] = {
    {"jpg", "\xFF\xD8\xFF"sv, 0, 512 * kMiB, "jpg", DecodeJpeg},
    {"png", "\x89PNG\r\n\x1A\n"sv, 0, 512 * kMiB, "png", DecodePng},
    {"gif", "GIF8"sv, 0, 256 * kMiB, "gif", DecodeGif},
    {"bmp", "BM"sv, 0, 1 * kGiB, "bmp", DecodeBmp},
    {"pdf", "%PDF-"sv, 0, 1 * kGiB, "pdf", DecodePdf},
    {"zip", "PK\x03\x04"sv, 0, 4 * kGiB, "zip docx xlsx pptx odt ods odp epub", DecodeZip},
    {"mp4", "ftyp"sv, 4, 64 * kGiB, "mp4 mov 3gp m4a heic avif cr3", DecodeIsoMedia},
    {"riff", "RIFF"sv, 0, 64 * kGiB, "avi wav webp", DecodeRiff},
    {"tif", "II*\0"sv, 0, 1 * kGiB, "tif cr2 nef arw dng orf rw2", DecodeTiff},
    {"tif", "MM\0*"sv, 0, 1 * kGiB, "tif cr2 nef arw dng orf rw2", DecodeTiff},
    {"orf", "IIRO"sv, 0, 1 * kGiB, "orf", DecodeTiff},
    {"orf", "IIRS"sv, 0, 1 * kGiB, "orf", DecodeTiff},
    {"rw2", "IIU\0"sv, 0, 1 * kGiB, "rw2", DecodeTiff},
    {"ogg", "OggS\0"sv, 0, 4 * kGiB, "ogg", DecodeOgg},
    {"7z", "7z\xBC\xAF\x27\x1C"sv, 0, 64 * kGiB, "7z", DecodeSevenZip},
    {"ole", "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"sv, 0, 1 * kGiB, "ole doc xls ppt", DecodeOle2},
    {"sqlite", "SQLite format 3\0"sv, 0, 64 * kGiB, "sqlite", DecodeSqlite},
    {"rtf", "{\\rtf"sv, 0, 256 * kMiB, "rtf", DecodeRtf},
    {"exe", "MZ"sv, 0, 1 * kGiB, "exe", DecodePe},
    {"rar", "Rar!\x1A\x07"sv, 0, 64 * kGiB, "rar", DecodeRar},
    {"flac", "fLaC"sv, 0, 4 * kGiB, "flac", DecodeFlac},
    // MP3s mostly start with their tag; a bare one with a frame of MPEG-1
    // or MPEG-2 layer III, with or without its CRC.
    {"mp3", "ID3"sv, 0, 1 * kGiB, "mp3", DecodeMp3},
    {"mp3", "\xFF\xFB"sv, 0, 1 * kGiB, "mp3", DecodeMp3},
    {"mp3", "\xFF\xFA"sv, 0, 1 * kGiB, "mp3", DecodeMp3},
    {"mp3", "\xFF\xF3"sv, 0, 1 * kGiB, "mp3", DecodeMp3},
    {"mp3", "\xFF\xF2"sv, 0, 1 * kGiB, "mp3", DecodeMp3},
};

bool Answers(const Signature& s, std::string_view name) {
    if (name == s.name)
        return true;
    std::string_view kinds = s.kinds;
    while (!kinds.empty()) {
        const size_t space = kinds.find(' ');
        if (kinds.substr(0, space) == name)
            return true;
        if (space == std::string_view::npos)
            break;
        kinds.remove_prefix(space + 1);
    }
    return false;
}
} // namespace

std::span<const Signature> Signatures() { return kSignatures; }

std::vector<bool> SignaturesNamed(std::span<const std::string> names, std::vector<std::string>* unknown) {
    const std::span<const Signature> all = Signatures();
    std::vector<bool> chosen(all.size(), names.empty());
    for (const std::string& name : names) {
        bool known = false;
        for (size_t i = 0; i < all.size(); ++i)
            if (Answers(all[i], name)) {
                chosen[i] = true;
                known = true;
            }
        if (!known && unknown)
            unknown->push_back(name);
    }
    return chosen;
}

} // namespace content
