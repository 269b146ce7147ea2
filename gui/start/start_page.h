#pragma once
// TFrm_Choose, the start page: the six file-type switches with their master
// switch, the SCAN/STOP button in its progress ring with the two progress
// labels, and the location chooser below. The page never talks to the scan
// worker: it posts the start and stop requests to the main window, which
// calls the operations below, and it reads the shared progress record.
#include <array>
#include <functional>

#include <QTimer>

#include "gui/common/skin_page.h"
#include "gui/start/location_chooser.h"

class RdCheckBox;
class RdHintBalloon;
class RdLabel;
class QLabel;
class TScanFileType;
class TUnDeleteProgress;

namespace gui {

class TScanButton;
class TScanDial;
class TTypeTile;

// The type switches, in the page's order.
enum TypeSwitch : int { kPhotos, kMusic, kVideos, kDocuments, kArchives, kOtherTypes, kTypeSwitchCount };

class TFrm_Choose : public SkinPage {
    Q_OBJECT
public:
    TFrm_Choose(MessageHub& hub, const TLanUse& language, TUnDeleteProgress& progress, TScanFileType& types,
                TScanPath& paths, TThreadScan& worker, std::function<void()> openAbout,
                Tfrm_Choose_Location::ImageRefusal imageRefused, QWidget* parent);

    // The scanning look: the animators running and the STOP caption, the
    // progress labels shown, the chooser and the seven switches disabled,
    // progress 0; empties the progress label when asked to.
    void PrepareForScanning(bool clearCaption);
    // The ring and the percent label at `percent`, the progress label with `text`.
    void ShowProgress(int percent, const QString& text);
    // The progress of a running scan, its text from the progress record.
    void ShowScanProgress(int percent);
    // The animators back to idle and the SCAN caption.
    void ScanEnded();
    // Everything back as it is between scans.
    void Reset();
    // The six switches into the scan's type selection.
    void CopyTypeSelections();

    // A start request of this page that the main window has not yet settled;
    // pressing the button again withdraws it.
    bool ScanRequested() const { return scanRequested_; }
    void MarkScanRequest() { scanRequested_ = true; }
    void ClearScanRequest() { scanRequested_ = false; }

    Tfrm_Choose_Location* Chooser() const { return chooser_; }
    TScanDial* Dial() const { return dial_; }
    TScanButton* ScanButton() const;
    TTypeTile* TypeToggle(int index) const { return tiles_[static_cast<size_t>(index)]; }
    RdCheckBox* MasterToggle() const { return master_; }
    // The deep scan: also search free space by file content. Remembered in Main.ini.
    RdCheckBox* DeepScanBox() const { return deepScan_; }
    bool DeepScan() const;
    // Starts a scan as the SCAN button does between scans (the deep-scan offer's YES).
    void RequestScan();
    RdLabel* ProgressLabel() const { return progressLabel_; }
    QLabel* PercentLabel() const { return percentLabel_; }
    RdHintBalloon* ScanHint() const { return hint_; }
    // The page's six selections (1 chosen), in the switches' order.
    const std::array<uint8_t, kTypeSwitchCount>& Selections() const { return selections_; }

protected:
    void showEvent(QShowEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void OnTypeToggled(int index, bool on);
    void OnMasterToggled(bool on);
    void OnScanClicked();
    void OnHintTick();
    void EnableSwitches(bool enable);
    QString PercentText(int percent) const;

    TUnDeleteProgress& progress_;
    TThreadScan& worker_;
    TScanFileType& types_;
    std::array<uint8_t, kTypeSwitchCount> selections_{1, 1, 1, 1, 1, 1};
    std::array<TTypeTile*, kTypeSwitchCount> tiles_{};
    RdCheckBox* master_;
    RdCheckBox* deepScan_;
    TScanDial* dial_;
    QLabel* percentLabel_;
    RdLabel* progressLabel_;
    Tfrm_Choose_Location* chooser_;
    RdHintBalloon* hint_;
    QTimer hintTimer_;
    int hintTicks_ = 0;
    bool scanRequested_ = false;
    QString scanCaption_;
    QString stopCaption_;
};

} // namespace gui
