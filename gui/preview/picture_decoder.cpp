#include "gui/preview/picture_decoder.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>

#include <algorithm>
#include <cmath>

namespace gui {

namespace {

constexpr int64_t kMiB = int64_t{1} << 20;

// Bytes the decoded pixels would take; at least 4 a pixel, since a reader
// may convert to 32-bit pixels while it decodes.
int64_t PixelBytes(QSize size, QImage::Format format) {
    int64_t perPixel = 4;
    if (format != QImage::Format_Invalid)
        perPixel = std::max<int64_t>(perPixel, QImage::toPixelFormat(format).bitsPerPixel() / 8);
    return int64_t{size.width()} * size.height() * perPixel;
}

} // namespace

QImage DecodePreviewPicture(std::span<const uint8_t> bytes, int64_t memoryCap) {
    const int64_t cap = std::min(memoryCap, kPictureCeiling);
    if (bytes.empty() || cap <= 0 || bytes.size() > static_cast<size_t>(INT32_MAX))
        return {};
    // The reader works on the worker's bytes in place: no copy, no file.
    const QByteArray data =
        QByteArray::fromRawData(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
    QBuffer buffer;
    buffer.setData(data);
    if (!buffer.open(QIODevice::ReadOnly))
        return {};
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    if (!reader.canRead())
        return {};
    const QSize declared = reader.size();
    if (declared.isValid() && (declared.isEmpty() || PixelBytes(declared, reader.imageFormat()) > cap))
        return {};
    // The limit is the readers' own (one for the program); 0 would lift it.
    QImageReader::setAllocationLimit(static_cast<int>(std::max<int64_t>(1, cap / kMiB)));
    QImage image;
    if (!reader.read(&image) || image.isNull())
        return {};
    return image;
}

QRect PictureRect(QSize picture, const QRect& box) {
    const int width = std::min(picture.width(), box.width());
    const int height = std::min(picture.height(), box.height());
    const int left = box.left() + static_cast<int>(std::lround((box.width() - width) / 2.0));
    const int top = box.top() + static_cast<int>(std::lround((box.height() - height) / 2.0));
    return QRect(left, top, width, height);
}

} // namespace gui
