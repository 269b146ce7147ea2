// One structure walk of the content search over the fuzzer's bytes, as if a
// candidate of its kind started there: each kind is its own target, so that
// the fuzzer's coverage follows one decoder's paths. DUNRO_FUZZ_DECODER names
// the kind (a signature's name); every signature of that name is tried.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "content/signatures.h"
#include "content/source_window.h"
#include "media/byte_source.h"
#include "platform/device.h"

#ifndef DUNRO_FUZZ_DECODER
#error "DUNRO_FUZZ_DECODER names the decoder this target walks"
#endif

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    media::DeviceSource source(platform::VolumeDevice::FromMemory(data, size));
    for (const content::Signature& signature : content::Signatures()) {
        if (signature.name != std::string_view(DUNRO_FUZZ_DECODER))
            continue;
        content::SourceWindow window(source, 0, signature.maxBytes);
        signature.decode(window);
    }
    return 0;
}
