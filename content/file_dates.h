#pragma once
// The dates a file keeps inside itself, for a file found by its content,
// whose record with its times is gone: when a picture was taken (EXIF), when
// a movie was made (its movie header). As FILETIME (100 ns ticks since 1601,
// UTC); 0 when the file keeps none or it does not decode.
#include <cstdint>
#include <optional>
#include <string_view>

#include "content/carved.h"
#include "content/source_window.h"

namespace content {

// The EXIF block of a TIFF structure at [tiffStart, tiffEnd) of the window:
// DateTimeOriginal from the EXIF IFD, else IFD0's DateTime. With
// OffsetTimeOriginal it is placed in its zone; without, it is read as local
// time, as a camera writes the time its clock shows.
uint64_t ExifTime(SourceWindow& w, uint64_t tiffStart, uint64_t tiffEnd);

// "YYYY:MM:DD HH:MM:SS" with an optional "+HH:MM" zone; 0 for the blank
// "0000:00:00 00:00:00" cameras write when their clock was never set.
uint64_t ExifDateText(std::string_view date, std::string_view zone);

// A movie header box (`mvhd`) at `box` of the window: its modification time,
// seconds since 1904 in UTC.
uint64_t MovieHeaderTime(SourceWindow& w, uint64_t box);

// A decoder whose walk may meet the file's own date on its way
// (`walk(window, date)`): what it carved, with that date.
template <typename Walk>
std::optional<Carved> WithFileDate(SourceWindow& w, Walk walk) {
    uint64_t date = 0;
    std::optional<Carved> carved = walk(w, date);
    if (carved)
        carved->modified = date;
    return carved;
}

} // namespace content
