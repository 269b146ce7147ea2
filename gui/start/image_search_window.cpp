#include "gui/start/image_search_window.h"

#include <QLayout>

#include "gui/common/message_hub.h"
#include "gui/common/texts.h"
#include "gui/widgets/image_button.h"
#include "gui/widgets/progress_bar.h"
#include "gui/widgets/skin.h"
#include "gui/widgets/skin_label.h"
#include "gui/widgets/title_bar.h"
#include "scan/scan_worker.h"
#include "volume/helpers.h"

namespace gui {
namespace {

constexpr int kMainWidth = 960, kMainHeight = 660;
constexpr int kLeft = 26, kTextWidth = TFrm_ImageSearch::kWidth - 2 * kLeft;
constexpr QSize kButtonSize(106, 32);
constexpr int kButtonRight = 20, kButtonBottom = 16;
// The bar's steps: fine enough for a disk of terabytes to move visibly.
constexpr int kBarSteps = 1000;

} // namespace

TFrm_ImageSearch::TFrm_ImageSearch(MessageHub& hub, const TLanUse& language, const TThreadScan& worker,
                                   QWidget* mainWindow)
    : RdFormFrame(RdTitleBar::Close, mainWindow),
      hub_(hub),
      language_(language),
      worker_(worker),
      mainWindow_(mainWindow),
      line_(new RdLabel(Body())),
      bar_(new RdProgressBar(Body())),
      amount_(new RdLabel(Body())),
      stop_(new RdImgButton(RdImgButton::Look::Primary, Body())) {
    setObjectName(QStringLiteral("frm_ImageSearch"));
    setWindowTitle(AppTitle());
    TitleBar()->SetTitle(AppTitle());
    TitleBar()->SetHints(Tr(language, "M_Close", "Close"), {}, {});

    line_->setObjectName(QStringLiteral("RdLabel_Searching"));
    line_->setFont(skin::Font(15));
    line_->SetMaxLines(2);
    bar_->setObjectName(QStringLiteral("RdProgressBar_Search"));
    bar_->setRange(0, kBarSteps);
    bar_->setAccessibleName(Tr(language, "M_ImageSearchProgress", "Search progress"));
    amount_->setObjectName(QStringLiteral("RdLabel_Searched"));
    amount_->SetColor(skin::Colors().mutedText);
    amount_->setWordWrap(false);
    stop_->setObjectName(QStringLiteral("RdImgBtn_StopSearch"));
    stop_->SetCaption(Tr(language, "M_DlgStop", "STOP"));
    stop_->setFixedSize(kButtonSize);

    timer_.setInterval(kRefreshMs);
    connect(&timer_, &QTimer::timeout, this, &TFrm_ImageSearch::Refresh);
    connect(stop_, &QPushButton::clicked, this, &TFrm_ImageSearch::RequestStop);
    // The close button and Esc.
    connect(this, &RdFormFrame::CloseRequested, this, &TFrm_ImageSearch::RequestStop);

    resize(kWidth, kHeight);
    layout()->activate();  // the body's place, which the controls are placed against
    const int top = skin::kTitleHeight + 24 - Body()->y();
    line_->setGeometry(kLeft, top, kTextWidth, 44);
    bar_->setGeometry(kLeft, top + 54, kTextWidth, bar_->sizeHint().height());
    // Beside the Stop button, never under it.
    amount_->setGeometry(kLeft, top + 74, kTextWidth - kButtonSize.width() - 12, 22);
    stop_->move(kWidth - kButtonRight - kButtonSize.width() - Body()->x(),
                kHeight - kButtonBottom - kButtonSize.height() - Body()->y());
}

void TFrm_ImageSearch::ShowRunning(const QString& image) {
    image_ = image;
    stopping_ = false;
    QString line = Tr(language_, "M_ImageSearching", "Searching %s for lost volumes…");
    line.replace(QLatin1String("%s"), QStringLiteral("<a>%1</a>").arg(image), Qt::CaseInsensitive);
    line_->SetMarkedText(line);
    stop_->setEnabled(true);
    bar_->setValue(0);
    Refresh();
    timer_.start();
    CentreOnMainWindow();
    show();
    raise();
    activateWindow();
    stop_->setFocus();
}

void TFrm_ImageSearch::ShowStopping() {
    stopping_ = true;
    line_->SetMarkedText(Tr(language_, "M_ImageSearchStopping", "Stopping the search…"));
    stop_->setEnabled(false);
}

void TFrm_ImageSearch::Finish() {
    timer_.stop();
    hide();
}

void TFrm_ImageSearch::Refresh() {
    const uint64_t done = worker_.Search.Done.load(std::memory_order_relaxed);
    const uint64_t total = worker_.Search.Total.load(std::memory_order_relaxed);
    const uint64_t shown = total ? std::min(done, total) : 0;
    bar_->setValue(total ? static_cast<int>(shown * kBarSteps / total) : 0);
    QString text = Tr(language_, "M_ImageSearched", "%s1 of %s2 searched");
    text.replace(QLatin1String("%s1"), FromUtf8(volume::SizeText(static_cast<int64_t>(shown))), Qt::CaseInsensitive);
    text.replace(QLatin1String("%s2"), FromUtf8(volume::SizeText(static_cast<int64_t>(total))), Qt::CaseInsensitive);
    amount_->SetMarkedText(text);
    amount_->setAccessibleName(text);
}

void TFrm_ImageSearch::RequestStop() {
    if (stopping_ || !isVisible())
        return;
    hub_.Post(Msg::StopImageSearch);
}

void TFrm_ImageSearch::CentreOnMainWindow() {
    if (!mainWindow_)
        return;
    const QPoint origin = mainWindow_->frameGeometry().topLeft();
    move(origin.x() + (kMainWidth - width()) / 2, origin.y() + (kMainHeight - height()) / 2);
}

} // namespace gui
