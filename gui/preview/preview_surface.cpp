#include "gui/preview/preview_surface.h"

#include <QPlainTextEdit>

#include "gui/common/texts.h"
#include "gui/preview/loading_sign.h"
#include "gui/preview/picture_decoder.h"
#include "gui/preview/picture_view.h"
#include "gui/widgets/skin_label.h"
#include "scan/scan_selection.h"

namespace gui {

PreviewSurface::PreviewSurface(const TLanUse& language, const PreviewLimits& limits, const QRect& box,
                               QWidget* parent, Qt::WindowFlags flags)
    : QWidget(parent, flags),
      language_(language),
      limits_(limits),
      worker_(std::make_unique<TPreviewWorker>(limits)),
      box_(box),
      picture_(new PictureView(this)),
      memo_(new QPlainTextEdit(this)),
      noPreview_(new RdLabel(this)),
      loadingLabel_(new RdLabel(this)),
      loading_(new LoadingSign(this)) {
    pollTimer_.setObjectName(QStringLiteral("Timer_Analy"));
    pollTimer_.setInterval(kPollMs);
    connect(&pollTimer_, &QTimer::timeout, this, [this] { Poll(); });
    retiredTimer_.setInterval(kPollMs);
    connect(&retiredTimer_, &QTimer::timeout, this, [this] { FreeRetired(); });

    memo_->setReadOnly(true);
    memo_->setFrameShape(QFrame::NoFrame);
    memo_->setGeometry(box_);
    noPreview_->setObjectName(QStringLiteral("Label_NoPreview"));
    noPreview_->SetMarkedText(Tr(language_, "M_NoPreview", "No Preview Available"));
    noPreview_->SetAlignment(Qt::AlignCenter);
    noPreview_->setWordWrap(true);
    loadingLabel_->setObjectName(QStringLiteral("Label_Loading"));
    loadingLabel_->SetMarkedText(Tr(language_, "M_Loading", "Loading..."));
    loadingLabel_->SetAlignment(Qt::AlignHCenter | Qt::AlignTop);
    loading_->setAccessibleName(loadingLabel_->text());
    HideContent();
}

// The worker ends its request (cancelled if need be) and its thread before
// the controls go.
PreviewSurface::~PreviewSurface() { pollTimer_.stop(); }

void PreviewSurface::HideContent() {
    picture_->hide();
    memo_->hide();
    noPreview_->hide();
    loadingLabel_->hide();
    loading_->hide();
}

void PreviewSurface::ShowLoadingSign() {
    loading_->SetFrame(0);
    loadingLabel_->show();
    loadingLabel_->raise();
    loading_->show();
    loading_->raise();
}

void PreviewSurface::StartRequest(const TMyFile* file) {
    pollTimer_.start();
    if (!worker_->Idle()) {
        worker_->Cancel();
        retired_.push_back(std::move(worker_));
        worker_ = std::make_unique<TPreviewWorker>(limits_);
        retiredTimer_.start();
    }
    worker_->Start(file);
}

void PreviewSurface::FreeRetired() {
    std::erase_if(retired_, [](const std::unique_ptr<TPreviewWorker>& worker) { return worker->Idle(); });
    if (retired_.empty())
        retiredTimer_.stop();
}

void PreviewSurface::ShowNoPreview() {
    picture_->hide();
    memo_->hide();
    loadingLabel_->hide();
    noPreview_->show();
    noPreview_->raise();
}

void PreviewSurface::Poll() {
    loading_->Advance();
    if (!worker_->Idle())
        return;
    // A cancelled request shows nothing: the surface goes hidden and idle.
    const bool cancelled = worker_->State.CancelRequest;
    FinishAndShow();
    if (cancelled)
        EndCancelled();
}

void PreviewSurface::FinishAndShow() {
    pollTimer_.stop();
    loading_->SetFrame(0);
    loading_->hide();
    loadingLabel_->hide();
    if (!worker_->State.CancelRequest) {
        ShowResult();
        ResultShown();
    }
    worker_->State.Finished = true;
}

void PreviewSurface::ShowResult() {
    if (!worker_->Success() || worker_->Kind() == kPreviewNone) {
        ShowNoPreview();
        return;
    }
    switch (worker_->Kind()) {
    case kPreviewPicture:
        ShowPicture();
        break;
    case kPreviewText:
        memo_->clear();
        memo_->show();
        memo_->setPlainText(FromUtf8(worker_->Text()));
        break;
    case kPreviewDocx: {
        memo_->clear();
        memo_->show();
        QStringList lines;
        for (const std::string& line : worker_->Lines())
            lines << FromUtf8(line);
        memo_->setPlainText(lines.join(QLatin1Char('\n')));
        break;
    }
    default:
        ShowNoPreview();
        break;
    }
}

void PreviewSurface::ShowPicture() {
    if (!isVisible())
        return;
    noPreview_->hide();
    loadingLabel_->hide();
    picture_->Clear();
    picture_->show();
    picture_->raise();
    const QImage image = DecodePreviewPicture(worker_->Content(), PreviewMemoryRoom());
    if (image.isNull()) {
        picture_->hide();
        noPreview_->show();
        noPreview_->raise();
        return;
    }
    picture_->SetPicture(image, PictureRect(image.size(), box_));
}

} // namespace gui
