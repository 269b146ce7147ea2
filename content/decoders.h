#pragma once
// The structure walks, one file each: given the bytes at a candidate start,
// each says where the file ends and how sure it is.
#include <optional>

#include "content/carved.h"

namespace content {

std::optional<Carved> DecodeJpeg(SourceWindow& window);
std::optional<Carved> DecodePng(SourceWindow& window);
std::optional<Carved> DecodeGif(SourceWindow& window);
std::optional<Carved> DecodeBmp(SourceWindow& window);
std::optional<Carved> DecodePdf(SourceWindow& window);
std::optional<Carved> DecodeZip(SourceWindow& window);
std::optional<Carved> DecodeIsoMedia(SourceWindow& window);
std::optional<Carved> DecodeRiff(SourceWindow& window);
std::optional<Carved> DecodeTiff(SourceWindow& window);
std::optional<Carved> DecodeOgg(SourceWindow& window);
std::optional<Carved> DecodeSevenZip(SourceWindow& window);
std::optional<Carved> DecodeOle2(SourceWindow& window);
std::optional<Carved> DecodeSqlite(SourceWindow& window);
std::optional<Carved> DecodeRtf(SourceWindow& window);
std::optional<Carved> DecodePe(SourceWindow& window);
std::optional<Carved> DecodeRar(SourceWindow& window);
std::optional<Carved> DecodeMp3(SourceWindow& window);
std::optional<Carved> DecodeFlac(SourceWindow& window);

} // namespace content
