// The main window's share of the previews: it makes the three large preview
// windows and chooses which one a preview button opens.
#include "gui/app/main_window.h"
#include "gui/preview/preview_window.h"
#include "gui/results/result_page.h"
#include "scan/scan_selection.h"

namespace gui {

void TFram_UndeleteMain::CreatePreviewWindows() {
    using Placement = TFrm_Preview::Placement;
    picturePreview_ = new TFrm_Preview(*hub_, *language_, *progress_, this, Placement::Floating);
    documentPreview_ = new TFrm_Preview(*hub_, *language_, *progress_, this, Placement::Floating);
    busyPreview_ = new TFrm_Preview(*hub_, *language_, *progress_, this, Placement::InsideMain);
    picturePreview_->setObjectName(QStringLiteral("Frm_Preview_PictureText"));
    documentPreview_->setObjectName(QStringLiteral("Frm_Preview_Document"));
    busyPreview_->setObjectName(QStringLiteral("Frm_Preview_Busy"));
    connect(resultPage_, &TFrm_Result::PreviewRequested, this, [this](TMyFile* file) { OpenPreview(file); });
}

void TFram_UndeleteMain::DestroyPreviewWindows() {
    delete busyPreview_;
    delete documentPreview_;
    delete picturePreview_;
    busyPreview_ = documentPreview_ = picturePreview_ = nullptr;
}

void TFram_UndeleteMain::OpenPreview(const TMyFile* file) {
    if (!file)
        return;
    if (file->PreviewKind != kPreviewDocx)
        picturePreview_->Open(file);
    else if (documentPreview_->Finished())
        documentPreview_->Open(file);
    else
        busyPreview_->Open(nullptr);  // a document still loads: no second one meanwhile
}

} // namespace gui
