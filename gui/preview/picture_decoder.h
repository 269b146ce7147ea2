#pragma once
// A found file's picture, decoded from its bytes in memory. Only the Qt
// image readers are used (no widgets), so the decoding can be exercised on
// its own, under the fuzzer too.
#include <QImage>
#include <QRect>

#include <cstdint>
#include <span>

namespace gui {

// The most pixel memory one preview picture may take whatever the system
// has free: a 16384 × 16384 picture of 32-bit pixels.
inline constexpr int64_t kPictureCeiling = int64_t{1} << 30;

// Decodes the picture held in `bytes`, whatever format Qt reads, told by its
// content. A null image when no reader can decode it, when it is damaged,
// or when its pixels would need more than `memoryCap` bytes: a picture that
// declares its size is refused before any pixel is decoded, and the readers'
// own allocation limit stops the others.
QImage DecodePreviewPicture(std::span<const uint8_t> bytes, int64_t memoryCap);

// Where a picture of `picture` pixels is drawn in `box`: each dimension the
// smaller of the picture's and the box's, decided on its own (a picture
// larger than the box is stretched to it, without keeping its proportions),
// centred in the box.
QRect PictureRect(QSize picture, const QRect& box);

} // namespace gui
