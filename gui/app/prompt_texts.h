#pragma once
// The texts of the notice and question boxes, by kind, with their
// placeholders filled from the recovery job.
#include <QString>

#include <cstdint>
#include <string>

#include "gui/common/messages.h"

class TLanUse;

namespace gui {

// What the texts need to know about the current recovery job.
struct PromptFacts {
    size_t jobFiles = 0;       // files in the job
    std::string jobSize;       // the job's size as size text
    uint32_t recoverFiles = 0; // the progress record's FRecoverFiles
    uint32_t recoverAttempted = 0;
    std::string refusedImage;  // the disk image notices 8, 9 and 11 and question 6 name
    std::string scanDamage;    // what the last scan could not read, for notice 10
    // How the last full search of an image ended, for notice 11.
    std::string searchFailure;      // the error it ended on, if any
    uint64_t searchUnreadable = 0;  // places a volume may start it could not read
    // Question 8 follows a search of the whole image that found no volume.
    bool imageSearched = false;
};

QString NoticeText(const TLanUse& language, Notice kind, const PromptFacts& facts);
QString QuestionText(const TLanUse& language, Question kind, const PromptFacts& facts);

} // namespace gui
