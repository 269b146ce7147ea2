// A found file's bytes as the preview decodes a picture from them: every
// image reader Qt has (with the image-format plugins), under the preview's
// memory cap, which the fuzzer keeps small so that each run stays quick.
// Qt's readers need no window system, only a core application for their
// plugin paths.
#include <QCoreApplication>

#include <cstddef>
#include <cstdint>

#include "gui/preview/picture_decoder.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QImage image = gui::DecodePreviewPicture({data, size}, int64_t{64} << 20);
    if (!image.isNull())
        (void)gui::PictureRect(image.size(), QRect(15, 42, 880, 560));
    return 0;
}
