#include "gui/app/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QPainter>
#include <QScreen>
#include <QStackedLayout>

#include <cstdio>
#include <cstdlib>

#include "gui/app/deep_scan_offer.h"
#include "gui/app/image_search_controller.h"
#include "gui/app/mask_overlay.h"
#include "gui/app/prompt_box.h"
#include "gui/app/recovery_controller.h"
#include "gui/app/scan_controller.h"
#include "gui/common/texts.h"
#include "gui/common/trace.h"
#include "gui/recover/desktop_shell.h"
#include "gui/recover/recover_progress.h"
#include "gui/results/result_page.h"
#include "gui/start/location_chooser.h"
#include "gui/settings/about_window.h"
#include "gui/settings/settings_window.h"
#include "gui/start/start_page.h"
#include "gui/widgets/image_button.h"
#include "gui/widgets/skin.h"
#include "platform/folders.h"
#include "recover/recover_worker.h"
#include "results/view_texts.h"
#include "scan/progress.h"
#include "scan/scan_selection.h"
#include "scan/scan_worker.h"
#include "shell/language.h"

namespace gui {

TFram_UndeleteMain::TFram_UndeleteMain()
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowSystemMenuHint |
                           Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint) {
    // The objects come in a fixed order: what a later one uses exists before it.
    setObjectName(QStringLiteral("Fram_UndeleteMain"));
    setWindowTitle(AppTitle());
    setAccessibleName(AppTitle());
    endProcess_ = [] {
        std::fflush(nullptr);
        std::_Exit(0);
    };
    hub_ = std::make_unique<MessageHub>();
    hub_->SetReceiver(HubTarget::MainWindow, this);

    types_ = std::make_unique<TScanFileType>();
    paths_ = std::make_unique<TScanPath>();
    progress_ = std::make_unique<TUnDeleteProgress>();
    language_ = std::make_unique<TLanUse>(platform::DataFolder());
    language_->Install();

    scanWorker_ = std::make_unique<TThreadScan>(*progress_, *types_, *paths_, hub_.get());
    recoverWorker_ = std::make_unique<TThreadRecover>(*progress_, hub_.get());

    const auto openAbout = [this] { OpenAbout(); };
    startPage_ = new TFrm_Choose(*hub_, *language_, *progress_, *types_, *paths_, *scanWorker_, openAbout,
                                 [this](const QString& image, SourceVerdict verdict) { OnImageRefused(image, verdict); },
                                 this);
    resultPage_ = new TFrm_Result(*hub_, *language_, *scanWorker_, *progress_, openAbout, this);
    hub_->SetReceiver(HubTarget::ResultPage, resultPage_);
    startPage_->hide();
    resultPage_->hide();
    CreatePreviewWindows();
    mask_ = new TFrm_Mask(*hub_, this);
    const auto facts = [this] {
        PromptFacts facts;
        facts.jobFiles = recoverWorker_->Jobs.size();
        facts.jobSize = recoverWorker_->FormatJobSize();
        facts.recoverFiles = progress_->FRecoverFiles;
        facts.recoverAttempted = progress_->FRecoverAttempted;
        facts.refusedImage = ToUtf8(refusedImage_);
        // Read only between scans, when the worker leaves the drives alone.
        if (!scan_ || !scan_->Running())
            facts.scanDamage = results::ScanDamageText(scanWorker_->Disks);
        // Read only once the search has ended and its results are the window's.
        if (imageSearch_ && !imageSearch_->Running()) {
            facts.searchUnreadable = scanWorker_->Search.UnreadablePlaces;
            if (scanWorker_->Search.Failed)
                facts.searchFailure = scanWorker_->FailureText;
        }
        facts.imageSearched = deepScan_ && deepScan_->AfterSearch();
        return facts;
    };
    question_ = new TFMsgBox_RecoverSelect(*hub_, *language_, facts, this);
    notice_ = new TFMsgBox_ScanRecoHelp(*hub_, *language_, facts, this);
    resultPage_->SetQuestionCloser([this] { question_->hide(); });
    resultPage_->SetQuestionOpener([this](Question kind) { question_->ShowQuestion(kind); });
    recovery_ = new RecoveryController(*this, *resultPage_, *question_, *hub_, *progress_, *recoverWorker_, *scanWorker_,
                                       *language_);

    scan_ = new ScanController(*this, *startPage_, *resultPage_, *question_, *progress_, *types_, *paths_, *scanWorker_,
                               *language_);
    imageSearch_ = new ImageSearchController(*this, *startPage_->Chooser(), *hub_, *scanWorker_, *language_);
    deepScan_ = new DeepScanOffer(*this, *startPage_);
    connect(startPage_->Chooser(), &Tfrm_Choose_Location::RestartAsAdministratorRequested, this,
            [this] { OnRestartAsAdministratorRequested(); });

    setFixedSize(kWidth, kHeight);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.left() + (area.width() - kWidth) / 2, area.top() + (area.height() - kHeight) / 2);
    }
}

TFram_UndeleteMain::~TFram_UndeleteMain() {
    // Torn down in the reverse of what each depends on: windows first, then
    // the workers, then what the workers used.
    hide();
    delete about_;
    delete settings_;
    delete recovery_;
    delete deepScan_;
    delete imageSearch_;
    delete notice_;
    delete question_;
    delete mask_;
    DestroyPreviewWindows();
    delete resultPage_;
    delete startPage_;
    hub_->SetReceiver(HubTarget::ResultPage, nullptr);
    hub_->SetReceiver(HubTarget::MainWindow, nullptr);
    recoverWorker_.reset();
    scanWorker_.reset();
    progress_.reset();
    paths_.reset();
    types_.reset();
    language_.reset();
}

void TFram_UndeleteMain::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), skin::Colors().page);
}

void TFram_UndeleteMain::resizeEvent(QResizeEvent*) {
    for (QWidget* page : {static_cast<QWidget*>(startPage_), static_cast<QWidget*>(resultPage_)})
        page->setGeometry(rect());
    mask_->setGeometry(rect());
}

void TFram_UndeleteMain::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    outerPosition_ = frameGeometry().topLeft();
}

void TFram_UndeleteMain::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    outerPosition_ = frameGeometry().topLeft();
    if (!startPage_->isVisible() && !resultPage_->isVisible())
        ShowStartPage();
    raise();
    activateWindow();
    setFocus();
    qCDebug(dunroGui) << "window shown";
    if (refusedNotice_ != Notice::None)
        QTimer::singleShot(0, this, [this] { ShowImageRefusal(); });
}

void TFram_UndeleteMain::closeEvent(QCloseEvent* event) {
    // A recovery under way asks first and ends the program with the job;
    // any other close ends the program at once.
    if (recovery_->HoldClose()) {
        event->ignore();
        return;
    }
    event->accept();
    EndProcess();
}

void TFram_UndeleteMain::EndProcess() { endProcess_(); }

void TFram_UndeleteMain::Dim() {
    startPage_->setEnabled(false);
    resultPage_->setEnabled(false);
    raise();
    activateWindow();
    mask_->setGeometry(rect());
    mask_->show();
    mask_->raise();
}

void TFram_UndeleteMain::Undim() {
    startPage_->setEnabled(true);
    resultPage_->setEnabled(true);
    mask_->hide();
}

bool TFram_UndeleteMain::Dimmed() const { return !mask_->isHidden(); }

void TFram_UndeleteMain::ShowStartPage() {
    startPage_->show();
    resultPage_->hide();
}

void TFram_UndeleteMain::ShowResultPage() {
    show();
    startPage_->hide();
    resultPage_->show();
}

void TFram_UndeleteMain::ShowNotice(Notice kind) {
    Dim();
    notice_->ShowNotice(kind);
    notice_->show();
    notice_->raise();
    notice_->activateWindow();
    notice_->DefaultButton()->setFocus();
}

void TFram_UndeleteMain::RestoreFromSecondStart() {
    // Restored even from the minimized state, and always to the design size
    // (one pixel wider first, so that everything is laid out anew).
    setWindowState(windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized));
    showNormal();
    setFixedSize(kWidth + 1, kHeight);
    setFixedSize(kWidth, kHeight);
    raise();
    activateWindow();
    qCDebug(dunroGui).nospace() << "restored " << width() << "x" << height()
                                << " minimized=" << isMinimized() << " visible=" << isVisible();
}

TFrm_RecoverySetting* TFram_UndeleteMain::SettingsWindow() const { return settings_; }

Tfrm_RecoverProgress* TFram_UndeleteMain::RecoverProgress() const { return recovery_->ProgressWindow(); }

void TFram_UndeleteMain::SetFolderChooser(std::unique_ptr<FolderChooser> chooser) {
    recovery_->SetFolderChooser(std::move(chooser));
}

void TFram_UndeleteMain::SetFolderOpener(std::unique_ptr<FolderOpener> opener) {
    recovery_->SetFolderOpener(std::move(opener));
}

bool TFram_UndeleteMain::ScanHeldForQuestion() const { return scan_->Held(); }
bool TFram_UndeleteMain::ScanTimerActive() const { return scan_->TimerActive(); }
bool TFram_UndeleteMain::WaitingForDriveList() const { return scan_->WaitingForDriveList(); }

TFrm_About* TFram_UndeleteMain::AboutWindow() const { return about_; }

void TFram_UndeleteMain::OpenAbout() {
    if (!about_)
        about_ = new TFrm_About(*hub_, *language_, this);
    about_->Open();
}

} // namespace gui
