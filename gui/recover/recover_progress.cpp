#include "gui/recover/recover_progress.h"

#include <QDateTime>
#include <QDir>
#include <QFontMetrics>
#include <QLabel>
#include <QLayout>

#include <cmath>

#include "gui/common/message_hub.h"
#include "gui/common/texts.h"
#include "gui/recover/progress_texts.h"
#include "gui/widgets/image_button.h"
#include "gui/widgets/progress_bar.h"
#include "gui/widgets/skin.h"
#include "gui/widgets/skin_label.h"
#include "gui/widgets/title_bar.h"
#include "recover/recover_worker.h"
#include "results/view_texts.h"
#include "scan/progress.h"

namespace gui {
namespace {

constexpr int kMainWidth = 960, kMainHeight = 660;
constexpr QSize kStateSize(44, 44);
constexpr QSize kBarSize(366, 10);
constexpr QSize kButtonSize(106, 32);
constexpr int kStateLeft = 26;
constexpr int kTextLeft = 87;
constexpr int kButtonRight = 20, kButtonBottom = 16;
constexpr int kReportWidth = 370;
// The state picture stands in the middle of the band between the title bar
// and the button; the lines are centred on it.
constexpr int kStateTop =
    (1 + skin::kTitleHeight + Tfrm_RecoverProgress::kHeight - kButtonBottom - kButtonSize.height()) / 2 -
    kStateSize.height() / 2;

QLabel* StatePicture(const char* name, const char* art, QWidget* parent) {
    auto* image = new QLabel(parent);
    image->setObjectName(QString::fromLatin1(name));
    image->setPixmap(skin::Art(QString::fromLatin1(art), kStateSize));
    image->resize(kStateSize);
    return image;
}

} // namespace

Tfrm_RecoverProgress::Tfrm_RecoverProgress(MessageHub& hub, const TLanUse& language, TUnDeleteProgress& progress,
                                           TThreadRecover& worker, QWidget* mainWindow)
    : RdFormFrame(RdTitleBar::Close, mainWindow),
      hub_(hub),
      language_(language),
      progress_(progress),
      worker_(worker),
      mainWindow_(mainWindow),
      clock_([] { return QDateTime::currentMSecsSinceEpoch(); }),
      running_(StatePicture("Image_Recoverying", "state-running", Body())),
      success_(StatePicture("Image_Success", "state-success", Body())),
      failure_(StatePicture("Image_Fail", "state-failure", Body())),
      line1_(new RdLabel(Body())),
      line2_(new RdLabel(Body())),
      bar_(new RdProgressBar(Body())),
      percent_(new RdLabel(Body())),
      tip_(new RdLabel(Body())),
      report_(new RdLabel(Body())),
      ok_(new RdImgButton(RdImgButton::Look::Primary, Body())) {
    setObjectName(QStringLiteral("frm_RecoverProgress"));
    setWindowTitle(AppTitle());
    TitleBar()->SetTitle(AppTitle());
    TitleBar()->SetHints(Tr(language, "M_Close", "Close"), {}, {});

    line1_->setObjectName(QStringLiteral("RdHtmLabel1"));
    line1_->setFont(skin::Font(15));
    line2_->setObjectName(QStringLiteral("RdHtmLabel2"));
    line2_->setFont(skin::Font(15));
    bar_->setObjectName(QStringLiteral("RdProgressBar"));
    bar_->resize(kBarSize);
    bar_->setAccessibleName(Tr(language, "M_RecoverProgress", "Recovery progress"));
    percent_->setObjectName(QStringLiteral("RdLabel_ProgresNum"));
    percent_->SetAlignment(Qt::AlignRight | Qt::AlignVCenter);
    percent_->setWordWrap(false);
    tip_->setObjectName(QStringLiteral("RdLabel_RecoveryOverTip"));
    tip_->SetColor(skin::Colors().mutedText);
    report_->setObjectName(QStringLiteral("RdLabel_ReportPlace"));
    report_->SetColor(skin::Colors().mutedText);
    report_->setWordWrap(false);
    ok_->setObjectName(QStringLiteral("RdImageButton_OK"));
    ok_->SetCaption(Tr(language, "M_DlgStop", "Stop"));
    ok_->setFixedSize(kButtonSize);

    timer_.setInterval(kRefreshMs);
    connect(&timer_, &QTimer::timeout, this, &Tfrm_RecoverProgress::Refresh);
    connect(ok_, &QPushButton::clicked, this, &Tfrm_RecoverProgress::OkPressed);
    connect(this, &RdFormFrame::CloseRequested, this, &Tfrm_RecoverProgress::ClosePressed);

    resize(kWidth, kHeight);
    layout()->activate();  // the body's place, which the controls are placed against
    for (QLabel* image : {running_, success_, failure_})
        Place(image, kStateLeft, kStateTop);
    Place(ok_, kWidth - kButtonRight - kButtonSize.width(), kHeight - kButtonBottom - kButtonSize.height());
    ShowState(running_);
    line2_->hide();
    tip_->hide();
    report_->hide();
}

QLabel* Tfrm_RecoverProgress::StateImage() const {
    for (QLabel* image : {running_, success_, failure_})
        if (!image->isHidden())
            return image;
    return nullptr;
}

void Tfrm_RecoverProgress::ShowRunning() {
    EnableButtons(true);
    ok_->SetCaption(Tr(language_, "M_DlgStop", "STOP"));
    ShowState(running_);
    tip_->hide();
    line2_->hide();
    bar_->setValue(0);
    bar_->show();
    percent_->SetMarkedText(StartPercentText(language_));
    percent_->show();
    dotStep_ = 0;
    lastTick_ = clock_();
    // The line reads right from the start; the timer keeps it up to date.
    line1_->SetMarkedText(RecoveringText(language_, progress_.FRecoverFiles, dotStep_));
    LayOutRunning();
    timer_.start();
    succeeded_ = false;
    finished_ = false;
    CentreOnMainWindow();
    show();
    raise();
    activateWindow();
    ok_->setFocus();
}

void Tfrm_RecoverProgress::Refresh() {
    const QString text = RecoveringText(language_, progress_.FRecoverFiles, dotStep_);
    // One, two, three dots, changing once a second.
    const qint64 now = clock_();
    if (now - lastTick_ > 1000) {
        lastTick_ = now;
        ++dotStep_;
    }
    // Once the job runs the bar shows at least 1%, even before a unit is done.
    int percent = static_cast<int>(std::clamp(progress_.RecoverPercent(), 0.0, 100.0));
    if (percent == 0)
        percent = 1;
    percent_->SetMarkedText(QString::number(percent) + QLatin1Char('%'));
    bar_->setValue(percent);
    // A failing drive may hold a read for many seconds: the line says why the bar waits.
    const QString retrying =
        FromUtf8(results::RetryingText(worker_.Damage.RetryingAt.load(std::memory_order_relaxed)));
    line1_->SetMarkedText(retrying.isEmpty() ? text : text + QChar(QChar::LineSeparator) + retrying);
    LayOutRunning();
}

void Tfrm_RecoverProgress::ShowFinished() {
    timer_.stop();
    bar_->setValue(100);
    tip_->show();
    if (progress_.FRecoverSucceeded == progress_.FRecoverFiles)
        ShowSuccessView();
    else
        ShowFailureView();
    finished_ = true;
    EnableButtons(true);
    ok_->SetCaption(Tr(language_, "M_OK", "OK"));
    CentreOnMainWindow();
    show();
    raise();
    activateWindow();
    ok_->setFocus();
}

uint32_t Tfrm_RecoverProgress::DamagedCount() const {
    // The outcomes are the worker's until its job has ended.
    uint32_t damaged = 0;
    if (worker_.JobDone)
        for (const RecoveryOutcome& outcome : worker_.Outcomes)
            damaged += outcome.Ok && outcome.UnreadableBytes > 0;
    return damaged;
}

void Tfrm_RecoverProgress::ShowSuccessView() {
    line1_->SetMarkedText(RecoveredText(language_, progress_.FRecoverSucceeded, DamagedCount()));
    percent_->SetMarkedText(QString());
    tip_->SetMarkedText(Tr(language_, "M_RecoveryOverSuccess", "Click OK to open the recovery directory."));
    tip_->show();
    line2_->hide();
    bar_->hide();
    ShowState(success_);
    succeeded_ = true;
    ShowReportLine();
    LayOutFinished();
}

void Tfrm_RecoverProgress::ShowFailureView() {
    const uint32_t files = progress_.FRecoverFiles;
    const uint32_t recovered = progress_.FRecoverSucceeded;
    percent_->hide();
    line1_->SetMarkedText(RecoveredText(language_, recovered, DamagedCount()));
    line2_->SetMarkedText(FailedText(language_, files - recovered));
    line2_->show();
    bar_->hide();
    ShowState(failure_);
    tip_->SetMarkedText(Tr(language_, "M_RecoveryOverFail", "Please choose another drive to try again."));
    // Another drive is worth a try only when every file was tried; after a
    // stop the rest were simply not attempted. A job that ended on an error
    // says why instead.
    tip_->setVisible(progress_.FRecoverAttempted >= files);
    if (progress_.FRecoverFailed && !worker_.FailureText.empty()) {
        tip_->SetMarkedText(JobErrorText(language_, worker_.FailureText));
        tip_->show();
    }
    succeeded_ = false;
    ShowReportLine();
    LayOutFinished();
}

// The path is cut in its middle to the line's width; the whole of it is the
// line's tool tip and what a screen reader reads.
void Tfrm_RecoverProgress::ShowReportLine() {
    if (!worker_.JobDone || worker_.ReportPath.empty()) {
        report_->hide();
        return;
    }
    const QString path = QDir::toNativeSeparators(FromUtf8(worker_.ReportPath));
    const QString whole = Tr(language_, "M_ReportWritten", "The report is in %s");
    const QString before = whole.left(whole.indexOf(QStringLiteral("%s")));
    const QFontMetrics metrics(report_->font());
    const QString shown = QString(whole).replace(
        QStringLiteral("%s"), metrics.elidedText(path, Qt::ElideMiddle, kReportWidth - metrics.horizontalAdvance(before)));
    report_->SetMarkedText(shown);
    report_->setToolTip(path);
    report_->setAccessibleName(QString(whole).replace(QStringLiteral("%s"), path));
    report_->show();
}

void Tfrm_RecoverProgress::ShowAgain() {
    show();
    raise();
    activateWindow();
    EnableButtons(true);
    ok_->setFocus();
    worker_.Resume();
}

void Tfrm_RecoverProgress::OkPressed() {
    if (worker_.JobDone && finished_ && succeeded_) {
        hub_.Send(Msg::OpenDestination);
        return;
    }
    ClosePressed();
}

void Tfrm_RecoverProgress::ClosePressed() {
    if (worker_.JobDone) {
        // Its end message is on its way and brings the finished view first.
        if (!finished_)
            return;
        hub_.Send(Msg::CloseFinishedProgress);
        return;
    }
    hide();
    EnableButtons(false);
    worker_.Pause();
    hub_.Send(Msg::AskStopRecovery);
}

void Tfrm_RecoverProgress::EnableButtons(bool enabled) {
    ok_->setEnabled(enabled);
    TitleBar()->CloseButton()->setEnabled(enabled);
}

void Tfrm_RecoverProgress::ShowState(QLabel* image) {
    for (QLabel* each : {running_, success_, failure_})
        each->setVisible(each == image);
}

void Tfrm_RecoverProgress::LayOutRunning() {
    line1_->FitToWidth(300);
    const int block = line1_->height() + kBarSize.height() + 17;
    const int top = kStateTop + (kStateSize.height() - block) / 2;
    Place(line1_, kTextLeft, top);
    const int barTop = top + line1_->height() + 5;
    Place(bar_, kTextLeft, barTop);
    const int percentHeight = percent_->heightForWidth(40);
    percent_->resize(40, percentHeight);
    Place(percent_, kTextLeft + 345, barTop - 5 - percentHeight);
}

void Tfrm_RecoverProgress::LayOutFinished() {
    line1_->FitToWidth(370);
    int block = line1_->height();
    if (!line2_->isHidden()) {
        line2_->FitToWidth(370);
        block += line2_->height();
    }
    if (!tip_->isHidden()) {
        tip_->FitToWidth(370);
        block += tip_->height() + (line2_->isHidden() ? 0 : 10);
    }
    if (!report_->isHidden()) {
        report_->FitToWidth(kReportWidth);
        block += report_->height() + 6;
    }
    block += 8;
    int y = kStateTop + (kStateSize.height() - block) / 2;
    Place(line1_, kTextLeft, y);
    y += line1_->height() + 8;
    if (!line2_->isHidden()) {
        Place(line2_, kTextLeft, y);
        y += line2_->height() + 10;
    }
    if (!tip_->isHidden()) {
        Place(tip_, kTextLeft, y);
        y += tip_->height() + 6;
    }
    if (!report_->isHidden())
        Place(report_, kTextLeft, y);
}

void Tfrm_RecoverProgress::CentreOnMainWindow() {
    if (!mainWindow_)
        return;
    const QPoint origin = mainWindow_->frameGeometry().topLeft();
    move(origin.x() + (kMainWidth - width()) / 2, origin.y() + (kMainHeight - height()) / 2);
}

void Tfrm_RecoverProgress::Place(QWidget* w, int x, int y) { w->move(x - Body()->x(), y - Body()->y()); }

} // namespace gui
