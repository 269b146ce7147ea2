// The main window's side of the drives: the volume images offered as drives
// (arguments, a second start) and their refusals, and bringing the window to
// the front when a scan ended behind other windows.
#include <QFileInfo>

#include "gui/app/deep_scan_offer.h"
#include "gui/app/image_search_controller.h"
#include "gui/app/main_window.h"
#include "gui/app/prompt_box.h"
#include "gui/start/start_page.h"
#include "scan/scan_worker.h"
#include "scan/source_offer.h"

namespace gui {

void TFram_UndeleteMain::RaiseAfterScan(bool restoreMinimized) {
    if (isActiveWindow() && !isMinimized())
        return;
    if (restoreMinimized && isMinimized())
        RestoreFromSecondStart();
    raise();
    activateWindow();
}

// The chooser queues the images and opens them on the scan worker once it is
// idle, so images handed over during a scan wait for its end, and the drive
// list counts as ready only when all of them are examined.
void TFram_UndeleteMain::AddVolumeImages(const QStringList& images) {
    for (const QString& image : images)
        startPage_->Chooser()->AddVolumeImage(image);
}

void TFram_UndeleteMain::OnImageRefused(const QString& image, SourceVerdict verdict) {
    refusedImage_ = QFileInfo(image).fileName();
    if (refusedImage_.isEmpty())
        refusedImage_ = image;
    refusedPath_ = image;
    const scan::SourceOffer offer = scan::OfferFor(verdict, false);
    refusedNotice_ = offer == scan::SourceOffer::SearchWholeImage ? Notice::ImageNoVolume : Notice::ImageUnreadable;
    refusedForDeepScan_ = offer == scan::SourceOffer::DeepScan;
    if (isVisible())
        ShowImageRefusal();
}

void TFram_UndeleteMain::ShowImageRefusal() {
    if (refusedNotice_ == Notice::None)
        return;
    const Notice kind = refusedNotice_;
    refusedNotice_ = Notice::None;
    // No file system on it can be read at all: only its content is left to search.
    if (refusedForDeepScan_ && !deepScan_->Opening()) {
        refusedForDeepScan_ = false;
        OfferDeepScan(refusedPath_, false);
        return;
    }
    refusedForDeepScan_ = false;
    // Nothing readable where volumes usually start: the whole image may still
    // hold one, which only reading all of it finds, so it is offered rather than done.
    if (kind == Notice::ImageNoVolume && !imageSearch_->Running()) {
        imageSearch_->Offer(refusedPath_);
        Dim();
        question_->ShowQuestion(Question::SearchWholeImage);
        return;
    }
    ShowNotice(kind);
}

void TFram_UndeleteMain::OfferDeepScan(const QString& image, bool afterSearch) {
    refusedImage_ = QFileInfo(image).fileName();
    if (refusedImage_.isEmpty())
        refusedImage_ = image;
    refusedPath_ = image;
    deepScan_->Offer(image, afterSearch);
}

} // namespace gui
