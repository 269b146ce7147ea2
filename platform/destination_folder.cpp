#include "platform/destination_folder.h"

#include <random>

namespace platform {

namespace {
constexpr char kTemporaryPrefix[] = ".dunro-";
constexpr char kTemporarySuffix[] = ".part";
constexpr size_t kTemporaryLetters = 6;
} // namespace

// Guessing the letters gains nothing, since the name is created exclusively;
// they only make a taken name rare.
std::string TemporaryFileName() {
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    thread_local std::mt19937 generator{std::random_device{}()};
    std::uniform_int_distribution<size_t> pick(0, sizeof kLetters - 2);
    std::string name = kTemporaryPrefix;
    for (size_t i = 0; i < kTemporaryLetters; ++i)
        name += kLetters[pick(generator)];
    return name + kTemporarySuffix;
}

bool IsTemporaryFileName(const std::string& name) {
    const std::string prefix = kTemporaryPrefix, suffix = kTemporarySuffix;
    return name.size() == prefix.size() + kTemporaryLetters + suffix.size() && name.rfind(prefix, 0) == 0 &&
           name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::unique_ptr<OutputFile> DestinationFolder::CreateTemporary(std::string& name, std::string& error) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = TemporaryFileName();
        bool exists = false;
        if (auto file = CreateNew(name, error, exists))
            return file;
        if (!exists)
            return nullptr;
    }
    error = "no free temporary name";
    return nullptr;
}

} // namespace platform
