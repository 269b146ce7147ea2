// The signature search's speed over an image, as it reads it: run it twice
// and take the second figure, when the image is in the page cache.
// usage: content_search IMAGE [STEP]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "content/content_search.h"
#include "media/byte_source.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: content_search IMAGE [STEP]\n");
        return 2;
    }
    auto source = media::OpenDevice(argv[1]);
    if (!source) {
        std::fprintf(stderr, "content_search: cannot open %s\n", argv[1]);
        return 3;
    }
    const uint32_t step = argc > 2 ? static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 10)) : 512;
    content::ContentSearch search(*source, content::SearchSettings{step, 8u << 20, {}});
    std::map<std::string, int> byKind[3];
    const auto start = std::chrono::steady_clock::now();
    const content::SearchTotals totals = search.Run(
        0, source->Size(),
        [&](const content::FoundFile& f) {
            ++byKind[static_cast<int>(f.carved.certainty)][f.carved.extension];
            return true;
        },
        nullptr, nullptr);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%llu bytes in %.3f s: %.0f MB/s, %llu candidates\n",
                static_cast<unsigned long long>(totals.bytesSearched), seconds,
                static_cast<double>(totals.bytesSearched) / seconds / 1e6,
                static_cast<unsigned long long>(totals.candidates));
    const char* grades[] = {"checked", "estimated", "broken"};
    for (int g = 0; g < 3; ++g)
        for (const auto& [kind, count] : byKind[g])
            std::printf("  %-8s %-9s %d\n", kind.c_str(), grades[g], count);
    return 0;
}
