#pragma once
// The texts of the notice and question boxes, by kind, with their
// placeholders filled from the recovery job.
#include <QString>

#include <cstdint>
#include <string>

class TLanUse;

namespace gui {

// What the texts need to know about the current recovery job.
struct PromptFacts {
    size_t jobFiles = 0;       // files in the job
    std::string jobSize;       // the job's size as size text
    uint32_t recoverFiles = 0; // the progress record's FRecoverFiles
    uint32_t recoverAttempted = 0;
    std::string refusedImage;  // the disk image notices 8 and 9 name
};

constexpr int kFirstNotice = 1, kLastNotice = 7;
// A disk image that holds neither NTFS nor FAT32, and one that cannot be read.
constexpr int kNoticeImageNoVolume = 8, kNoticeImageUnreadable = 9;
constexpr int kFirstQuestion = 1, kLastQuestion = 5;

QString NoticeText(const TLanUse& language, int kind, const PromptFacts& facts);
QString QuestionText(const TLanUse& language, int kind, const PromptFacts& facts);

} // namespace gui
