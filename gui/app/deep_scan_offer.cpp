#include "gui/app/deep_scan_offer.h"

#include <QTimer>

#include "gui/app/main_window.h"
#include "gui/app/prompt_box.h"
#include "gui/start/location_chooser.h"
#include "gui/start/start_page.h"

namespace gui {

DeepScanOffer::DeepScanOffer(TFram_UndeleteMain& window, TFrm_Choose& startPage)
    : QObject(&window), window_(window), startPage_(startPage) {}

void DeepScanOffer::Offer(const QString& image, bool afterSearch) {
    offered_ = image;
    afterSearch_ = afterSearch;
    window_.Dim();
    window_.QuestionBox()->ShowQuestion(Question::DeepScanWholeImage);
}

void DeepScanOffer::OnDeepScanWholeImage() {
    window_.QuestionBox()->hide();
    if (offered_.isEmpty() || opening_) {
        window_.Undim();
        return;
    }
    opening_ = true;
    startPage_.Chooser()->AddImageForContentSearch(offered_);
    StartWhenListed();
}

// The image is opened on the scan worker, whose first reads may take long on
// a failing drive: the window thread only looks again later.
void DeepScanOffer::StartWhenListed() {
    if (startPage_.Chooser()->ImagesPending()) {
        QTimer::singleShot(kListedPollMs, this, [this] { StartWhenListed(); });
        return;
    }
    opening_ = false;
    if (!startPage_.Chooser()->ChooseOnlyImage(offered_)) {
        window_.ShowNotice(Notice::ImageUnreadable);
        return;
    }
    window_.Undim();
    startPage_.RequestScan();
}

} // namespace gui
