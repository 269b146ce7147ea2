#pragma once
// TFrm_Result, the result page: the found files of the last scan as a type
// tree, a folder tree and a list with check boxes, with the search box, the
// column sort, Back and Recover. What the list shows and which files are
// checked is the core's result view; the page shows it and turns the user's
// clicks and keys into its operations.
#include <functional>
#include <memory>

#include <QTimer>

#include "gui/common/message_hub.h"
#include "gui/common/skin_page.h"
#include "results/result_view.h"

class QTreeWidgetItem;
class RdCheckBox;
class RdImgButton;
class RdLabel;
class TThreadScan;
class TUnDeleteProgress;

namespace gui {

class FolderTree;
class HoverPreviews;
class ResultList;
class ResultListModel;
class SearchBox;
class TypeTree;

class TFrm_Result : public SkinPage, public HubReceiver {
    Q_OBJECT
public:
    TFrm_Result(MessageHub& hub, const TLanUse& language, TThreadScan& scan, TUnDeleteProgress& progress,
                std::function<void()> openAbout, QWidget* parent);
    ~TFrm_Result() override;

    // The load-results step after a scan has ended: the list shows every
    // found file, best recoverability first, and the header and both trees
    // are built anew. The main window calls it before it shows the page.
    void LoadResults();

    void Receive(const HubMessage& message) override;
    // The main window's recover request (0x413): posts 0x428 when files are
    // checked, 0x417 when none is.
    void AnswerRecoverRequest();
    // Unchecks every shown file (after a recovery).
    void UncheckAllShown();

    // Shows question `kind` over the dimmed window; hides the question box
    // once its answer has arrived.
    void SetQuestionOpener(std::function<void(Question)> open) { openQuestion_ = std::move(open); }
    void SetQuestionCloser(std::function<void()> close) { closeQuestion_ = std::move(close); }

    const results::TResultView& View() const { return view_; }
    RdImgButton* BackButton() const { return back_; }
    RdImgButton* RecoverButton() const { return recover_; }
    // Whether a recovery keeps the found files' folders; remembered in Main.ini.
    RdCheckBox* KeepFoldersBox() const { return keepFolders_; }
    bool KeepFolders() const;
    RdImgButton* TypeTab() const { return typeTab_; }
    RdImgButton* LocationTab() const { return locationTab_; }
    bool TypeTabInFront() const;
    TypeTree* Types() const { return typeTree_; }
    FolderTree* Folders() const { return folderTree_; }
    ResultList* List() const { return list_; }
    ResultListModel* ListModel() const { return model_; }
    SearchBox* Search() const { return search_; }
    HoverPreviews* Hover() const { return hover_.get(); }
    RdLabel* HeaderLabel() const { return header_; }
    // What the scan could not read of the drives; hidden when it read everything.
    RdLabel* DamageLabel() const { return damage_; }
    RdLabel* SelectedLabel() const { return selected_; }
    bool SearchActive() const { return searchActive_; }
    // The Back button's arrow, in its own coordinates: a press there leaves
    // at once, a press elsewhere on it (or Space, Enter, a screen reader's
    // press) asks first.
    QRect BackArrowRect() const;

signals:
    // The user asked to preview a file (its button, or Enter on its row).
    void PreviewRequested(TMyFile* file);

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildLayout();
    void ConnectControls();
    // The handlers of the page's own events.
    void FolderTreeChanged();
    void TypeTreeChanged();
    void ShowLocation(const QTreeWidgetItem* node);
    void ApplySearch(const results::ViewFilter& filter);
    void SearchTimerFired();
    void SearchTextChanged();
    void SearchBoxPressed();
    void MagnifierPressed();
    void ClearPressed();
    void EndSearchEdit();
    void ListPressed();
    void SortByColumn(int column);
    // Brings the type tree (else the folder tree) to the front and marks its tab.
    void MarkTab(bool types);
    void ShowTypeTab();
    void ShowLocationTab();
    void CheckToggled();
    void AllChecksToggled(bool checked);
    void BackPressed(bool onArrow);
    void Leave();
    void ResetList();
    void UpdateSelectedText();
    void UpdateSortMark();
    void TakeFocusFromSearch();
    TMyDisk* DiskNamed(const std::string& name) const;

    TThreadScan& scan_;
    TUnDeleteProgress& progress_;
    results::TResultView view_;
    uint32_t foundCount_ = 0;
    int hoverRow_ = -1;
    bool searchActive_ = false;

    RdImgButton* back_;
    RdLabel* header_;
    SearchBox* search_;
    RdImgButton* typeTab_;
    RdImgButton* locationTab_;
    TypeTree* typeTree_;
    FolderTree* folderTree_;
    ResultList* list_;
    ResultListModel* model_;
    RdLabel* selected_;
    RdLabel* damage_;
    RdImgButton* recover_;
    RdCheckBox* keepFolders_;
    QTimer searchTimer_;
    std::function<void(Question)> openQuestion_;
    std::function<void()> closeQuestion_;
    std::unique_ptr<HoverPreviews> hover_;  // before the list goes, its panes go
};

} // namespace gui
