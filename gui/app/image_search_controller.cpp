#include "gui/app/image_search_controller.h"

#include <QFileInfo>
#include <QTimer>

#include "gui/app/main_window.h"
#include "gui/app/prompt_box.h"
#include "gui/common/texts.h"
#include "gui/start/image_search_window.h"
#include "gui/start/location_chooser.h"
#include "scan/scan_worker.h"
#include "scan/source_offer.h"

namespace gui {

ImageSearchController::ImageSearchController(TFram_UndeleteMain& window, Tfrm_Choose_Location& chooser,
                                             MessageHub& hub, TThreadScan& worker, const TLanUse& language)
    : window_(window),
      chooser_(chooser),
      worker_(worker),
      progress_(new TFrm_ImageSearch(hub, language, worker, &window)) {
    progress_->hide();
}

ImageSearchController::~ImageSearchController() {
    // A search still running would report to a window that is gone: it is
    // asked to end, and the worker's own teardown waits for it.
    if (running_)
        worker_.StopPartitionSearch();
    delete progress_;
}

void ImageSearchController::OnSearchWholeImage() {
    window_.QuestionBox()->hide();
    if (offered_.isEmpty() || running_) {
        window_.Undim();
        return;
    }
    running_ = true;
    QString name = QFileInfo(offered_).fileName();
    progress_->ShowRunning(name.isEmpty() ? offered_ : name);
    StartWhenIdle();
}

// The worker runs one job at a time: an image still being opened or a drive
// refresh ends first. The window thread only looks again later.
void ImageSearchController::StartWhenIdle() {
    if (!running_)
        return;
    if (worker_.Busy()) {
        QTimer::singleShot(kIdlePollMs, this, [this] { StartWhenIdle(); });
        return;
    }
    if (progress_->Stopping()) {
        // Stopped before it began: it ends as a stopped search does.
        running_ = false;
        progress_->Finish();
        window_.Undim();
        return;
    }
    worker_.StartPartitionSearch(ToUtf8(offered_));
}

void ImageSearchController::OnStopImageSearch() {
    if (!running_)
        return;
    worker_.StopPartitionSearch();
    progress_->ShowStopping();
}

void ImageSearchController::OnImageSearchEnded() { EndWhenIdle(); }

void ImageSearchController::EndWhenIdle() {
    if (!running_)
        return;
    // The end is posted just before the job returns: its lists are the
    // window's once the worker is idle.
    if (worker_.Busy() || !worker_.Search.Ended.load(std::memory_order_acquire)) {
        QTimer::singleShot(kIdlePollMs, this, [this] { EndWhenIdle(); });
        return;
    }
    running_ = false;
    progress_->Finish();
    if (worker_.Search.Stopped) {
        window_.Undim();
        return;
    }
    if (chooser_.ListSearchedImage()) {
        window_.Undim();
        return;
    }
    // An error is told; a search that found nothing leaves the image's content to search.
    if (!worker_.Search.Failed &&
        scan::OfferFor(SourceVerdict::OtherFileSystem, true) == scan::SourceOffer::DeepScan) {
        window_.OfferDeepScan(offered_, true);
        return;
    }
    window_.ShowNotice(Notice::ImageNothingFound);
}

} // namespace gui
