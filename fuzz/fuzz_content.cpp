// Every structure walk of the content search over the fuzzer's bytes, each
// as if a candidate started there, and the search itself over them as a volume.
#include <cstddef>
#include <cstdint>

#include "content/content_search.h"
#include "content/signatures.h"
#include "content/source_window.h"
#include "media/byte_source.h"
#include "platform/device.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    media::DeviceSource source(platform::VolumeDevice::FromMemory(data, size));
    for (const content::Signature& signature : content::Signatures()) {
        content::SourceWindow window(source, 0, signature.maxBytes);
        signature.decode(window);
    }
    content::ContentSearch search(source, content::SearchSettings{512, 64 * 1024, {}});
    search.Run(0, size, [](const content::FoundFile&) { return true; }, nullptr, nullptr);
    return 0;
}
