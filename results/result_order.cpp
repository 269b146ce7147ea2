#include "results/result_order.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string_view>

#include "volume/helpers.h"
#include "volume/text.h"

namespace {

std::string PathText(const TMyFile& f) {
    return (f.Drive ? f.Drive->DriveName : std::string()) + "\\" + f.FolderPath;
}

std::string DateKey(const TMyFile& f) { return f.HasTimes ? volume::DateText(f.ModifiedTime) : "N/A"; }

template <typename T>
int Sign(T a, T b) {
    return a < b ? -1 : a > b ? 1 : 0;
}

// The UTF-16 units of a text given in pieces (a path is its drive, "\" and
// its folder path), a-z folded to A-Z: compared without joining the pieces.
class FoldedUnits {
public:
    FoldedUnits(std::string_view a, std::string_view b = {}, std::string_view c = {})
        : pieces_{a, b, c}, units_(a) {}
    // The text when it is one piece, not yet read.
    bool Single(std::string_view& text) const {
        if (piece_ != 0 || !pieces_[1].empty() || !pieces_[2].empty())
            return false;
        text = pieces_[0];
        return true;
    }
    bool Next(char16_t& unit) {
        while (!units_.Next(unit)) {
            if (++piece_ >= pieces_.size())
                return false;
            units_ = volume::Utf16Units(pieces_[piece_]);
        }
        if (unit >= u'a' && unit <= u'z')
            unit = static_cast<char16_t>(unit - 32);
        return true;
    }

private:
    std::array<std::string_view, 3> pieces_;
    size_t piece_ = 0;
    volume::Utf16Units units_;
};

// Twelve units of a text from a given unit on, a-z folded, packed so that
// comparing keys as numbers compares those units, and how many of them the
// text has there (13: it goes on past them). Where the units tie, the text
// with fewer is a beginning of the other and comes first; where both go on,
// the next twelve units decide.
constexpr int kKeyUnits = 12;

struct TextKey {
    std::array<uint64_t, 3> words{};
    uint8_t count = 0;
    auto operator<=>(const TextKey&) const = default;
};

// Texts of ASCII alone, the common case, are keyed from their bytes.
bool KeyOfAscii(std::string_view text, size_t from, TextKey& key) {
    const size_t end = std::min(text.size(), from + kKeyUnits + 1);
    for (size_t i = 0; i < end; ++i)
        if (static_cast<unsigned char>(text[i]) >= 0x80)
            return false;
    if (from >= text.size())
        return true;
    const size_t count = std::min(text.size() - from, static_cast<size_t>(kKeyUnits));
    for (size_t i = 0; i < count; ++i) {
        uint64_t unit = static_cast<unsigned char>(text[from + i]);
        if (unit >= 'a' && unit <= 'z')
            unit -= 32;
        key.words[i / 4] |= unit << (16 * (3 - i % 4));
    }
    key.count = static_cast<uint8_t>(text.size() - from > kKeyUnits ? kKeyUnits + 1 : count);
    return true;
}

TextKey KeyOf(FoldedUnits units, size_t from) {
    TextKey key;
    if (std::string_view single; units.Single(single) && KeyOfAscii(single, from, key))
        return key;
    key = TextKey{};
    char16_t unit = 0;
    for (size_t skipped = 0; skipped < from; ++skipped)
        if (!units.Next(unit))
            return key;
    for (int i = 0; i < kKeyUnits; ++i) {
        if (!units.Next(unit))
            return key;
        key.words[static_cast<size_t>(i / 4)] |= uint64_t{unit} << (16 * (3 - i % 4));
        ++key.count;
    }
    if (units.Next(unit))
        key.count = kKeyUnits + 1;
    return key;
}

FoldedUnits NameUnits(const TMyFile& f) { return FoldedUnits(f.FileName); }
FoldedUnits PathUnits(const TMyFile& f) {
    return FoldedUnits(f.Drive ? std::string_view(f.Drive->DriveName) : std::string_view(), "\\", f.FolderPath);
}

// The date column's text as a number in the same order: every field has a
// fixed width while the year has four digits. "N/A" sorts after every date.
constexpr uint64_t kNoDate = UINT64_MAX;
std::optional<uint64_t> DateNumber(const TMyFile& f, std::string& text) {
    if (!f.HasTimes)
        return kNoDate;
    text.clear();
    volume::AppendDateText(text, f.ModifiedTime);
    if (text == "N/A")
        return kNoDate;
    if (text.size() != 19)
        return std::nullopt;  // a five-digit year: only the text compares right
    uint64_t n = 0;
    for (char c : text)
        if (c >= '0' && c <= '9')
            n = n * 10 + static_cast<uint64_t>(c - '0');
    return n;
}

template <typename Keyed, typename Sorter, typename Less>
void SortKeyed(std::vector<TMyFile*>& files, std::vector<Keyed>& keyed, Sorter sorter, Less less) {
    sorter(keyed.begin(), keyed.end(), less);
    for (size_t i = 0; i < files.size(); ++i)
        files[i] = keyed[i].file;
}

// Texts sorted twelve units at a time: the keys of all files first, then,
// for each run of files whose keys tie while their texts go on, the next
// twelve units of those files, and so on. A comparison never leaves the
// array of keys.
template <typename Units, typename Sorter>
void SortByText(std::vector<TMyFile*>& files, Units units, bool ascending, Sorter sorter) {
    struct Keyed {
        TextKey key;
        TMyFile* file;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(files.size());
    for (TMyFile* f : files)
        keyed.push_back({KeyOf(units(*f), 0), f});
    const auto less = [ascending](const Keyed& a, const Keyed& b) { return ascending ? a.key < b.key : b.key < a.key; };
    struct Run {
        size_t begin, end, from;
    };
    std::vector<Run> runs{{0, keyed.size(), 0}};
    while (!runs.empty()) {
        const Run run = runs.back();
        runs.pop_back();
        const auto first = keyed.begin() + static_cast<std::ptrdiff_t>(run.begin);
        sorter(first, keyed.begin() + static_cast<std::ptrdiff_t>(run.end), less);
        for (size_t i = run.begin; i < run.end;) {
            size_t j = i + 1;
            while (j < run.end && keyed[j].key == keyed[i].key)
                ++j;
            // Tied texts that go on are told apart by their next units.
            if (j - i > 1 && keyed[i].key.count > kKeyUnits) {
                for (size_t k = i; k < j; ++k)
                    keyed[k].key = KeyOf(units(*keyed[k].file), run.from + kKeyUnits);
                runs.push_back({i, j, run.from + kKeyUnits});
            }
            i = j;
        }
    }
    for (size_t i = 0; i < files.size(); ++i)
        files[i] = keyed[i].file;
}

// Few distinct values: files go into their value's bucket in list order.
template <typename Value>
void SortByBucket(std::vector<TMyFile*>& files, bool ascending, Value value) {
    std::array<std::vector<TMyFile*>, 256> buckets;
    for (TMyFile* f : files)
        buckets[value(*f)].push_back(f);
    size_t at = 0;
    for (size_t i = 0; i < buckets.size(); ++i) {
        const auto& bucket = buckets[ascending ? i : buckets.size() - 1 - i];
        std::copy(bucket.begin(), bucket.end(), files.begin() + static_cast<std::ptrdiff_t>(at));
        at += bucket.size();
    }
}

// Every sort works on a copy of each file's key beside its pointer: the
// comparisons then stay in one array instead of visiting the records.
template <typename Sorter>
void SortWith(std::vector<TMyFile*>& files, uint8_t key, bool ascending, Sorter sorter) {
    switch (key) {
    case kSortName:
    case kSortPath: {
        const auto units = key == kSortName ? NameUnits : PathUnits;
        SortByText(files, units, ascending, sorter);
        return;
    }
    case kSortState:
        SortByBucket(files, ascending, [](const TMyFile& f) { return f.State; });
        return;
    case kSortPreview:
        SortByBucket(files, ascending, [](const TMyFile& f) { return f.PreviewKind; });
        return;
    case kSortSize: {
        struct Keyed {
            int64_t size;
            TMyFile* file;
        };
        std::vector<Keyed> keyed;
        keyed.reserve(files.size());
        for (TMyFile* f : files)
            keyed.push_back({f->FileSize, f});
        SortKeyed(files, keyed, sorter, [ascending](const Keyed& a, const Keyed& b) {
            return ascending ? a.size < b.size : b.size < a.size;
        });
        return;
    }
    case kSortDate: {
        struct Keyed {
            uint64_t date;
            TMyFile* file;
        };
        std::vector<Keyed> keyed;
        keyed.reserve(files.size());
        bool numbers = true;
        std::string text;
        for (TMyFile* f : files) {
            const auto n = DateNumber(*f, text);
            numbers = numbers && n.has_value();
            keyed.push_back({n.value_or(0), f});
        }
        if (numbers) {
            SortKeyed(files, keyed, sorter, [ascending](const Keyed& a, const Keyed& b) {
                return ascending ? a.date < b.date : b.date < a.date;
            });
            return;
        }
        struct TextKeyed {
            std::string text;
            TMyFile* file;
        };
        std::vector<TextKeyed> texts;
        texts.reserve(files.size());
        for (TMyFile* f : files)
            texts.push_back({DateKey(*f), f});
        SortKeyed(files, texts, sorter, [ascending](const TextKeyed& a, const TextKeyed& b) {
            int c = volume::CompareTextUtf16(a.text, b.text);
            return ascending ? c < 0 : c > 0;
        });
        return;
    }
    default:
        return;  // no such key: the order stays
    }
}

} // namespace

int CompareFiles(const TMyFile& a, const TMyFile& b, uint8_t key) {
    switch (key) {
    case kSortName:
        return volume::CompareTextUtf16(a.FileName, b.FileName);
    case kSortPath:
        return volume::CompareTextUtf16(PathText(a), PathText(b));
    case kSortState:
        return Sign(a.State, b.State);
    case kSortSize:
        return Sign(a.FileSize, b.FileSize);
    case kSortDate:
        return volume::CompareTextUtf16(DateKey(a), DateKey(b));
    case kSortPreview:
        return Sign(a.PreviewKind, b.PreviewKind);
    default:
        return 0;
    }
}

void SortShown(std::vector<TMyFile*>& files, uint8_t key, bool ascending) {
    SortWith(files, key, ascending, [](auto first, auto last, auto less) { std::sort(first, last, less); });
}

void SortShownStable(std::vector<TMyFile*>& files, uint8_t key, bool ascending) {
    SortWith(files, key, ascending, [](auto first, auto last, auto less) { std::stable_sort(first, last, less); });
}
