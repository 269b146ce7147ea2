#include "gui/start/start_page.h"

#include <algorithm>

#include <QLabel>
#include <QMouseEvent>
#include <QSignalBlocker>

#include "gui/common/message_hub.h"
#include "gui/common/texts.h"
#include "gui/start/scan_dial.h"
#include "gui/start/type_tile.h"
#include "gui/widgets/check_box.h"
#include "gui/widgets/hint_balloon.h"
#include "gui/widgets/skin.h"
#include "gui/widgets/skin_label.h"
#include "platform/folders.h"
#include "results/view_texts.h"
#include "scan/progress.h"
#include "scan/scan_selection.h"
#include "scan/scan_worker.h"
#include "shell/ini_file.h"
#include "volume/helpers.h"

namespace gui {
namespace {

struct SwitchLook {
    const char* name;
    const char* key;
    const char* english;
    const char* art;
};

constexpr SwitchLook kSwitches[kTypeSwitchCount] = {
    {"RdCheckBox_Photo", "M_Photo", "Photos", "cat-pictures"},
    {"RdCheckBox_Music", "M_Music", "Music", "cat-music"},
    {"RdCheckBox_Video", "M_Video", "Videos", "cat-videos"},
    {"RdCheckBox_Doc", "M_Doc", "Documents", "cat-documents"},
    {"RdCheckBox_Compress", "M_Compress", "Archives", "cat-archives"},
    {"RdCheckBox_Other", "M_Other", "Others", "cat-others"},
};

constexpr int kLeftColumn = 312;
constexpr int kTilesLeft = 330, kTileWidth = 190, kTileHeight = 64, kTileGap = 12;
constexpr int kChooserTop = 300;
constexpr int kHintTicks = 6;

std::string MainIniPath() { return platform::DataFolder() + "Main.ini"; }

// The deep-scan choice lives in Main.ini's [Main] section; off unless stored as 1.
constexpr char kDeepScanKey[] = "DeepScan";

bool StoredDeepScan() {
    TSafeIniFile ini;
    ini.Load(MainIniPath());
    return ini.ReadString("Main", kDeepScanKey, "0") == "1";
}

void StoreDeepScan(bool deep) {
    TSafeIniFile ini;
    const std::string path = MainIniPath();
    ini.Load(path);
    ini.WriteString("Main", kDeepScanKey, deep ? "1" : "0");
    ini.Save(path);
}

} // namespace

TFrm_Choose::TFrm_Choose(MessageHub& hub, const TLanUse& language, TUnDeleteProgress& progress, TScanFileType& types,
                         TScanPath& paths, TThreadScan& worker, std::function<void()> openAbout,
                         Tfrm_Choose_Location::ImageRefusal imageRefused, QWidget* parent)
    : SkinPage(hub, language, std::move(openAbout), parent),
      progress_(progress),
      worker_(worker),
      types_(types),
      master_(new RdCheckBox(RdCheckBox::Look::Toggle, Body())),
      deepScan_(new RdCheckBox(RdCheckBox::Look::Box, Body())),
      dial_(new TScanDial(Body())),
      percentLabel_(new QLabel(Body())),
      progressLabel_(new RdLabel(Body())),
      chooser_(new Tfrm_Choose_Location(language, worker, paths, std::move(imageRefused), Body())),
      hint_(new RdHintBalloon(this)) {
    setObjectName(QStringLiteral("Frm_Choose"));
    setAccessibleName(AppTitle());
    scanCaption_ = Tr(language, "M_Scan", "Scan");
    stopCaption_ = Tr(language, "M_Stop", "STOP");

    master_->setObjectName(QStringLiteral("RdCheckBox_AllType"));
    master_->setText(Tr(language, "M_filetype", "File Types"));
    master_->setFont(skin::Font(14, true));
    master_->setChecked(true);
    // Switched by a click, a key or a screen reader alike.
    connect(master_, &QCheckBox::toggled, this, [this](bool on) { OnMasterToggled(on); });
    for (int i = 0; i < kTypeSwitchCount; ++i) {
        const SwitchLook& look = kSwitches[i];
        auto* tile = new TTypeTile(QString::fromLatin1(look.art), Body());
        tile->setObjectName(QString::fromLatin1(look.name));
        tile->setText(Tr(language, look.key, look.english));
        tile->setChecked(true);
        connect(tile, &QCheckBox::toggled, this, [this, i](bool on) { OnTypeToggled(i, on); });
        tiles_[static_cast<size_t>(i)] = tile;
    }

    deepScan_->setObjectName(QStringLiteral("CheckBox_DeepScan"));
    deepScan_->setText(Tr(language, "M_DeepScan", "Deep scan: also search free space by file content, slower"));
    deepScan_->setAccessibleName(deepScan_->text());
    deepScan_->setAccessibleDescription(Tr(language, "M_DeepScanTip",
                                           "Files whose entries the file system no longer holds are recognised by "
                                           "their content. Files found that way have no names of their own."));
    deepScan_->setToolTip(deepScan_->accessibleDescription());
    deepScan_->setChecked(StoredDeepScan());
    connect(deepScan_, &QCheckBox::toggled, this, [](bool deep) { StoreDeepScan(deep); });

    dial_->setObjectName(QStringLiteral("RdProgress_Scan"));
    dial_->setAccessibleName(Tr(language, "M_ScanProgress", "Scan progress"));
    dial_->Button()->setObjectName(QStringLiteral("RdImgBtn_Scan"));
    dial_->Button()->setToolTip(Tr(language, "M_ScanTip", "Click scan to find the recoverable files. You can "
                                                          "customize the scan location or file types below."));
    dial_->SetCaption(scanCaption_);
    connect(dial_->Button(), &QPushButton::clicked, this, [this] { OnScanClicked(); });

    percentLabel_->setObjectName(QStringLiteral("Lbl_ProgressNum"));
    percentLabel_->setAlignment(Qt::AlignCenter);
    percentLabel_->setFont(skin::Font(22, true));
    QPalette ink = percentLabel_->palette();
    ink.setColor(QPalette::WindowText, skin::Colors().text);
    percentLabel_->setPalette(ink);
    progressLabel_->setObjectName(QStringLiteral("RdLabel_Progress"));
    progressLabel_->SetAlignment(Qt::AlignHCenter | Qt::AlignTop);
    progressLabel_->SetColor(skin::Colors().mutedText);
    percentLabel_->hide();
    progressLabel_->hide();

    // Keyboard order: the button first, then the switches, then the places.
    QWidget* previous = dial_->Button();
    for (QWidget* next : {static_cast<QWidget*>(master_), static_cast<QWidget*>(tiles_[0]), static_cast<QWidget*>(tiles_[1]),
                          static_cast<QWidget*>(tiles_[2]), static_cast<QWidget*>(tiles_[3]),
                          static_cast<QWidget*>(tiles_[4]), static_cast<QWidget*>(tiles_[5]),
                          static_cast<QWidget*>(deepScan_), static_cast<QWidget*>(chooser_->CheckAllBox())}) {
        setTabOrder(previous, next);
        previous = next;
    }

    hint_->setObjectName(QStringLiteral("Hint_Scan"));
    hintTimer_.setInterval(1000);
    connect(&hintTimer_, &QTimer::timeout, this, [this] { OnHintTick(); });
}

TScanButton* TFrm_Choose::ScanButton() const { return dial_->Button(); }

void TFrm_Choose::resizeEvent(QResizeEvent* event) {
    SkinPage::resizeEvent(event);
    const int dialSide = 200;
    dial_->setGeometry((kLeftColumn - dialSide) / 2, 14, dialSide, dialSide);
    percentLabel_->setGeometry(6, 220, kLeftColumn - 12, 30);
    progressLabel_->setGeometry(6, 254, kLeftColumn - 12, 40);
    const QSize masterSize = master_->sizeHint();
    master_->setGeometry(kTilesLeft, 48, masterSize.width(), masterSize.height());
    for (int i = 0; i < kTypeSwitchCount; ++i)
        tiles_[static_cast<size_t>(i)]->setGeometry(kTilesLeft + (i % 3) * (kTileWidth + kTileGap),
                                                    90 + (i / 3) * (kTileHeight + kTileGap), kTileWidth, kTileHeight);
    // Below the switches, as wide as their three columns.
    deepScan_->setGeometry(kTilesLeft, 90 + 2 * (kTileHeight + kTileGap) + 4,
                           std::min(deepScan_->sizeHint().width(), 3 * kTileWidth + 2 * kTileGap), 36);
    const int bodyHeight = height() - Body()->y();
    chooser_->setGeometry(24, kChooserTop, width() - 48, bodyHeight - kChooserTop - 16);
}

void TFrm_Choose::showEvent(QShowEvent* event) {
    SkinPage::showEvent(event);
    chooser_->StartLoading();
    dial_->UpdateHoverGlow();
    TSafeIniFile settings;
    settings.Load(MainIniPath());
    if (settings.ReadString("Main", "ScanTips", "0") == "0" && !hintTimer_.isActive() && hintTicks_ == 0)
        hintTimer_.start();
}

void TFrm_Choose::mousePressEvent(QMouseEvent* event) {
    // The background tells the main window, which has nothing to do with it.
    if (event->button() == Qt::LeftButton)
        hub_.Send(Msg::StartPageBackground);
}

void TFrm_Choose::OnTypeToggled(int index, bool on) {
    selections_[static_cast<size_t>(index)] = on ? 1 : 0;
    bool all = true;
    for (uint8_t s : selections_)
        all = all && s;
    // The master follows the six without setting them in turn.
    const QSignalBlocker quiet(master_);
    master_->setChecked(all);
}

void TFrm_Choose::OnMasterToggled(bool on) {
    for (size_t i = 0; i < selections_.size(); ++i) {
        selections_[i] = on ? 1 : 0;
        const QSignalBlocker quiet(tiles_[i]);
        tiles_[i]->setChecked(on);
    }
}

bool TFrm_Choose::DeepScan() const { return deepScan_->isChecked(); }

void TFrm_Choose::RequestScan() {
    if (!progress_.FScanIdle || scanRequested_)
        return;
    OnScanClicked();
}

void TFrm_Choose::OnScanClicked() {
    if (scanRequested_) {
        // Pressed again while the start waits for the drive list: withdraw it.
        scanRequested_ = false;
        hub_.Post(Msg::StopRequest);
        return;
    }
    if (progress_.FScanIdle) {
        dial_->SetRunning(true);
        dial_->SetCaption(stopCaption_);
        CopyTypeSelections();
        hub_.Post(Msg::StartRequest);
        return;
    }
    hub_.Post(Msg::StopRequest);
    dial_->setValue(0);
}

void TFrm_Choose::CopyTypeSelections() {
    types_.FPicturesOn = selections_[kPhotos];
    types_.FAudioOn = selections_[kMusic];
    types_.FVideosOn = selections_[kVideos];
    types_.FDocumentsOn = selections_[kDocuments];
    types_.FArchivesOn = selections_[kArchives];
    types_.FOthersOn = selections_[kOtherTypes];
    types_.UpdateAllOn();
}

void TFrm_Choose::EnableSwitches(bool enable) {
    master_->setEnabled(enable);
    deepScan_->setEnabled(enable);
    for (TTypeTile* tile : tiles_)
        tile->setEnabled(enable);
}

QString TFrm_Choose::PercentText(int percent) const {
    // A format string: "%d" takes the number, "%%" is a percent sign.
    QString text = Tr(language_, "M_ProgressNum", "%d %%");
    text.replace(QLatin1String("%d"), QString::number(percent), Qt::CaseInsensitive);
    text.replace(QLatin1String("%%"), QLatin1String("%"));
    return text;
}

void TFrm_Choose::PrepareForScanning(bool clearCaption) {
    dial_->SetRunning(true);
    dial_->SetCaption(stopCaption_);
    percentLabel_->show();
    progressLabel_->show();
    chooser_->EnableControls(false);
    EnableSwitches(false);
    hint_->hide();
    ShowProgress(0, clearCaption ? QString() : progressLabel_->MarkedText());
}

void TFrm_Choose::ShowProgress(int percent, const QString& text) {
    progressLabel_->SetMarkedText(text);
    dial_->setValue(std::clamp(percent, 0, 100));
    percentLabel_->setText(PercentText(percent));
}

void TFrm_Choose::ShowScanProgress(int percent) {
    if (percent > 100) {
        dial_->setValue(100);
        return;
    }
    QString text;
    const uint64_t searched = progress_.FBytesSearched;
    if (percent < progress_.FReadWeight && searched > 0) {
        // The search by content reads bytes, not entries: it counts what it looked through and found.
        text = Tr(language_, "M_DeepScanning", "%s1 searched, %s2 files found");
        text.replace(QLatin1String("%s1"), QStringLiteral("<a>%1</a>").arg(FromUtf8(volume::SizeText(int64_t(searched)))),
                     Qt::CaseInsensitive);
        text.replace(QLatin1String("%s2"), QStringLiteral("<a>%1</a>").arg(uint32_t(progress_.FFoundCount)),
                     Qt::CaseInsensitive);
    } else if (percent < progress_.FReadWeight) {
        text = Tr(language_, "M_Scanning", "Files scanned: %s");
        text.replace(QLatin1String("%s"), QStringLiteral("<a>%1</a>").arg(uint32_t(progress_.FRecordsRead)),
                     Qt::CaseInsensitive);
    } else {
        text = Tr(language_, "M_Analying", "Analyzing deleted files: %s");
        text.replace(QLatin1String("%s"), QStringLiteral("<a>%1</a>").arg(uint32_t(progress_.FListedCount)),
                     Qt::CaseInsensitive);
    }
    // A failing drive may hold a read for many seconds: the caption says why nothing moves.
    if (const QString retrying = FromUtf8(results::RetryingText(worker_.RetryingAt())); !retrying.isEmpty())
        text += QChar(QChar::LineSeparator) + retrying;
    ShowProgress(percent, text);
}

void TFrm_Choose::ScanEnded() {
    dial_->SetRunning(false);
    dial_->SetCaption(scanCaption_);
}

void TFrm_Choose::Reset() {
    dial_->setValue(0);
    dial_->UpdateHoverGlow();
    dial_->SetRunning(false);
    percentLabel_->hide();
    progressLabel_->hide();
    chooser_->EnableControls(true);
    EnableSwitches(true);
    dial_->SetCaption(scanCaption_);
}

void TFrm_Choose::OnHintTick() {
    // The hint waits while a scan runs.
    if (!progress_.FScanIdle)
        return;
    ++hintTicks_;
    if (hintTicks_ == 1) {
        const QPoint anchor = Body()->mapToGlobal(QPoint(kLeftColumn / 2 - 60, 232));
        hint_->ShowAt(anchor, dial_->Button()->toolTip(), 0);
        TSafeIniFile settings;
        settings.Load(MainIniPath());
        settings.WriteString("Main", "ScanTips", "1");
        settings.Save(MainIniPath());
    }
    if (hintTicks_ >= kHintTicks) {
        hint_->hide();
        hintTimer_.stop();
    }
}

} // namespace gui
