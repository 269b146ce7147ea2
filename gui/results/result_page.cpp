#include "gui/results/result_page.h"

#include <QEvent>
#include <QMouseEvent>
#include <QShortcut>

#include "gui/common/texts.h"
#include "gui/preview/hover_previews.h"
#include "gui/results/result_list.h"
#include "gui/results/result_list_model.h"
#include "gui/results/result_trees.h"
#include "gui/results/search_box.h"
#include "gui/widgets/check_box.h"
#include "gui/widgets/image_button.h"
#include "gui/widgets/skin.h"
#include "gui/widgets/skin_label.h"
#include "gui/widgets/title_bar.h"
#include "platform/folders.h"
#include "results/view_texts.h"
#include "scan/progress.h"
#include "scan/scan_worker.h"
#include "shell/ini_file.h"
#include "volume/text.h"

namespace gui {

namespace {

// The page's grid inside the body (960 × 614 below the title bar).
constexpr int kMargin = 16;
constexpr int kTopRow = 14;
constexpr int kRowHeight = 34;
constexpr int kPaneTop = 62;
constexpr int kPaneWidth = 240;
constexpr int kTabHeight = 32;
constexpr int kBottomRow = 568;

// The keep-folders choice lives in Main.ini's [Main] section; off unless stored as 1.
constexpr char kKeepFoldersKey[] = "KeepFolders";

std::string MainIniPath() { return platform::DataFolder() + "Main.ini"; }

bool StoredKeepFolders() {
    TSafeIniFile ini;
    ini.Load(MainIniPath());
    return ini.ReadString("Main", kKeepFoldersKey, "0") == "1";
}

void StoreKeepFolders(bool keep) {
    TSafeIniFile ini;
    const std::string path = MainIniPath();
    ini.Load(path);
    ini.WriteString("Main", kKeepFoldersKey, keep ? "1" : "0");
    ini.Save(path);
}
constexpr int kSelectedGap = 20;  // between the selected-files text and Recover

QString ProgramVersion() { return QStringLiteral(DUNRO_VERSION); }

} // namespace

TFrm_Result::TFrm_Result(MessageHub& hub, const TLanUse& language, TThreadScan& scan, TUnDeleteProgress& progress,
                         std::function<void()> openAbout, QWidget* parent)
    : SkinPage(hub, language, std::move(openAbout), parent),
      scan_(scan),
      progress_(progress),
      view_(scan.AllFiles, &progress),
      back_(new RdImgButton(RdImgButton::Look::Secondary, Body())),
      header_(new RdLabel(Body())),
      search_(new SearchBox(Tr(language, "M_SearchFile", "Search files"),
                            Tr(language, "M_ClearSearch", "Clear the search"), Body())),
      typeTab_(new RdImgButton(RdImgButton::Look::Secondary, Body())),
      locationTab_(new RdImgButton(RdImgButton::Look::Secondary, Body())),
      typeTree_(new TypeTree(language, Body())),
      folderTree_(new FolderTree(language, progress, Body())),
      list_(new ResultList(Body())),
      model_(new ResultListModel(view_, language, this)),
      selected_(new RdLabel(Body())),
      damage_(new RdLabel(Body())),
      recover_(new RdImgButton(RdImgButton::Look::Primary, Body())),
      keepFolders_(new RdCheckBox(RdCheckBox::Look::Box, Body())) {
    setObjectName(QStringLiteral("Frm_Result"));
    setAccessibleName(AppTitle());
    BuildLayout();
    ConnectControls();
    hover_ = std::make_unique<HoverPreviews>(*list_, hoverRow_, language);
    // At creation no search is in use and the type view is in front.
    search_->IdleLook();
    MarkTab(true);
}

TFrm_Result::~TFrm_Result() = default;

void TFrm_Result::BuildLayout() {
    const skin::Palette& c = skin::Colors();
    back_->setObjectName(QStringLiteral("RdImgBtn_Back"));
    back_->SetCaption(Tr(language_, "M_BACK", "Back"));
    back_->SetArt(QStringLiteral("back"));
    back_->SetHint(Tr(language_, "M_BACK", "Back"));
    back_->setGeometry(kMargin, kTopRow, back_->sizeHint().width(), kRowHeight);
    back_->installEventFilter(this);

    header_->setObjectName(QStringLiteral("RdLabel_Result_Complete"));
    header_->setFont(skin::Font(14));
    header_->setWordWrap(false);
    const int headerLeft = back_->geometry().right() + 18;
    const int searchLeft = 960 - kMargin - search_->width();
    header_->setGeometry(headerLeft, kTopRow, searchLeft - headerLeft - 12, kRowHeight);
    search_->move(searchLeft, kTopRow + (kRowHeight - search_->height()) / 2);

    const int tabWidth = kPaneWidth / 2 - 3;
    for (RdImgButton* tab : {typeTab_, locationTab_})
        tab->setFont(skin::Font(12, true));
    typeTab_->setObjectName(QStringLiteral("Btn_FileType"));
    typeTab_->SetCaption(Tr(language_, "M_filetype", "File Types"));
    typeTab_->setGeometry(kMargin, kPaneTop, tabWidth, kTabHeight);
    locationTab_->setObjectName(QStringLiteral("Btn_FileLocation"));
    locationTab_->SetCaption(Tr(language_, "M_filelocaltion", "File Location"));
    locationTab_->setGeometry(kMargin + kPaneWidth - tabWidth, kPaneTop, tabWidth, kTabHeight);

    const QRect pane(kMargin, kPaneTop + kTabHeight + 8, kPaneWidth, kBottomRow - 12 - (kPaneTop + kTabHeight + 8));
    for (RdCheckTree* tree : {static_cast<RdCheckTree*>(typeTree_), static_cast<RdCheckTree*>(folderTree_)}) {
        tree->setGeometry(pane);
        tree->setAutoFillBackground(true);
        QPalette palette = tree->palette();
        palette.setColor(QPalette::Base, c.panel);
        tree->setPalette(palette);
    }
    typeTree_->setAccessibleName(typeTab_->text());
    folderTree_->setAccessibleName(locationTab_->text());
    typeTree_->header()->setAccessibleName(typeTab_->text());
    folderTree_->header()->setAccessibleName(locationTab_->text());

    list_->setObjectName(QStringLiteral("RdListView_Files"));
    list_->setAccessibleName(Tr(language_, "M_FileList", "Found files"));
    list_->horizontalHeader()->setAccessibleName(list_->accessibleName());
    list_->verticalHeader()->setAccessibleName(list_->accessibleName());
    list_->CheckHeader()->SetCheckBoxName(Tr(language_, "M_CheckAllFiles", "Check all files"));
    const int listLeft = kMargin + kPaneWidth + 12;
    list_->setGeometry(listLeft, kPaneTop, 960 - kMargin - listLeft, pane.bottom() - kPaneTop + 1);
    list_->SetResultModel(model_);
    // Columns as wide as their headers and texts need, the rest for the name
    // and the path; no sideways scrolling at the start.
    skin::StyleScrollBars(*list_);
    skin::StyleScrollBars(*typeTree_);
    skin::StyleScrollBars(*folderTree_);
    QHeaderView* header = list_->horizontalHeader();
    const QFontMetrics headerFont(header->font());
    const QFontMetrics cellFont(skin::Font(12));
    auto fit = [&](int column, int content) {
        const QString caption = model_->headerData(column, Qt::Horizontal).toString();
        return std::max(content, headerFont.horizontalAdvance(caption) + 34);
    };
    int grades = 0;
    for (uint8_t state : {kStateExcellent, kStateGood, kStatePoor})
        grades = std::max(grades, cellFont.horizontalAdvance(FromUtf8(StateText(state))));
    const int stateWidth = fit(results::kColumnState, grades + 8 + 22 + 12);
    const int sizeWidth = fit(results::kColumnSize, cellFont.horizontalAdvance(QStringLiteral("999.9 MB")) + 18);
    const int dateWidth = fit(results::kColumnDate, cellFont.horizontalAdvance(QStringLiteral("2000-00-00 00:00:00")) + 18);
    const int previewWidth = 30, marginWidth = 6, scrollBar = 12;
    const int rest = list_->width() - scrollBar - stateWidth - sizeWidth - dateWidth - previewWidth - marginWidth;
    const int nameWidth = rest * 55 / 100;
    header->setStretchLastSection(true);
    header->setMinimumSectionSize(6);
    list_->setColumnWidth(results::kColumnName, nameWidth);
    list_->setColumnWidth(results::kColumnPath, rest - nameWidth);
    list_->setColumnWidth(results::kColumnState, stateWidth);
    list_->setColumnWidth(results::kColumnSize, sizeWidth);
    list_->setColumnWidth(results::kColumnDate, dateWidth);
    list_->setColumnWidth(results::kColumnPreview, previewWidth);
    list_->setColumnWidth(results::kColumnMargin, marginWidth);
    list_->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);

    recover_->setObjectName(QStringLiteral("RdImgBtn_Recovery"));
    recover_->SetCaption(Tr(language_, "M_Recover", "Recover"));
    const int recoverWidth = std::max(140, recover_->sizeHint().width());
    recover_->setGeometry(960 - kMargin - recoverWidth, kBottomRow, recoverWidth, 36);
    selected_->setObjectName(QStringLiteral("Lbl_SelectFileCount"));
    selected_->setWordWrap(false);
    selected_->hide();
    damage_->setObjectName(QStringLiteral("Lbl_Unreadable"));
    damage_->SetColor(c.failure);
    keepFolders_->setObjectName(QStringLiteral("CheckBox_KeepFolders"));
    keepFolders_->setText(Tr(language_, "M_KeepFolders", "Keep folder structure"));
    keepFolders_->setAccessibleName(keepFolders_->text());
    keepFolders_->setChecked(StoredKeepFolders());
    keepFolders_->setGeometry(kMargin, kBottomRow, keepFolders_->sizeHint().width(), 36);
    const int damageLeft = keepFolders_->geometry().right() + 24;
    damage_->setGeometry(damageLeft, kBottomRow, 540 + kMargin - damageLeft, 36);
    damage_->hide();

    setTabOrder(back_, search_->Magnifier());
    setTabOrder(search_->Magnifier(), search_->Edit());
    setTabOrder(search_->Edit(), search_->ClearButton());
    setTabOrder(search_->ClearButton(), typeTab_);
    setTabOrder(typeTab_, locationTab_);
    setTabOrder(locationTab_, typeTree_);
    setTabOrder(typeTree_, folderTree_);
    setTabOrder(folderTree_, list_);
    setTabOrder(list_, keepFolders_);
    setTabOrder(keepFolders_, recover_);
}

void TFrm_Result::ConnectControls() {
    searchTimer_.setSingleShot(true);
    searchTimer_.setInterval(100);
    connect(&searchTimer_, &QTimer::timeout, this, [this] { SearchTimerFired(); });
    // Any change of the text but the page's own restarts the timer: typing,
    // a paste, or a screen reader setting the text.
    connect(search_, &SearchBox::TextChanged, this, [this] { SearchTextChanged(); });
    // Enter does not wait for the timer.
    connect(search_->Edit(), &QLineEdit::returnPressed, this, [this] { SearchTimerFired(); });
    connect(search_->Edit(), &SearchEdit::Pressed, this, [this] { SearchBoxPressed(); });
    connect(search_->Edit(), &SearchEdit::FocusLost, this, [this] { EndSearchEdit(); });
    connect(search_->Magnifier(), &QPushButton::clicked, this, [this] { MagnifierPressed(); });
    connect(search_->ClearButton(), &QPushButton::clicked, this, [this] { ClearPressed(); });

    connect(typeTree_, &QTreeWidget::currentItemChanged, this, [this] {
        if (typeTree_->isEnabled())
            TypeTreeChanged();
    });
    connect(folderTree_, &QTreeWidget::currentItemChanged, this, [this] { FolderTreeChanged(); });
    connect(typeTab_, &QPushButton::clicked, this, [this] { ShowTypeTab(); });
    connect(locationTab_, &QPushButton::clicked, this, [this] { ShowLocationTab(); });

    connect(model_, &ResultListModel::CheckToggled, this, [this] { CheckToggled(); });
    connect(list_, &ResultList::AllChecksToggled, this, [this](bool checked) { AllChecksToggled(checked); });
    connect(list_, &ResultList::Pressed, this, [this] { ListPressed(); });
    connect(list_, &ResultList::PreviewRequested, this, [this](int row) {
        if (TMyFile* file = model_->FileAt(row))
            emit PreviewRequested(file);
    });
    connect(list_->horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int column) { SortByColumn(column); });

    connect(back_, &QPushButton::clicked, this, [this] { BackPressed(false); });
    connect(recover_, &QPushButton::clicked, this, [this] { hub_.Post(Msg::RecoverRequest); });
    connect(keepFolders_, &QCheckBox::toggled, this, [](bool keep) { StoreKeepFolders(keep); });
    // Closing or minimizing ends the search box's edit first, as losing the focus would.
    connect(TitleBar(), &RdTitleBar::CloseClicked, this, [this] { EndSearchEdit(); });
    connect(TitleBar(), &RdTitleBar::MinimizeClicked, this, [this] { EndSearchEdit(); });

    auto* find = new QShortcut(QKeySequence::Find, this);
    find->setContext(Qt::WidgetWithChildrenShortcut);
    connect(find, &QShortcut::activated, this, [this] {
        search_->Edit()->setFocus(Qt::ShortcutFocusReason);
        SearchBoxPressed();
    });
}

QRect TFrm_Result::BackArrowRect() const {
    // The picture stands left of the caption, centred with it (as the button draws it).
    const int textWidth = back_->fontMetrics().horizontalAdvance(back_->text());
    const int left = (back_->width() - (18 + 8 + textWidth)) / 2;
    return QRect(left - 3, (back_->height() - 24) / 2, 24, 24);
}

bool TFrm_Result::eventFilter(QObject* watched, QEvent* event) {
    if (watched == back_ && event->type() == QEvent::MouseButtonPress && back_->isEnabled()) {
        const auto* press = static_cast<QMouseEvent*>(event);
        if (press->button() == Qt::LeftButton && BackArrowRect().contains(press->position().toPoint())) {
            BackPressed(true);
            return true;
        }
    }
    return SkinPage::eventFilter(watched, event);
}

void TFrm_Result::showEvent(QShowEvent* event) {
    SkinPage::showEvent(event);
    move(0, 0);
    if (!search_->Edit()->hasFocus())
        search_->IdleLook();
    TitleBar()->SetTitle(AppTitle() + QLatin1Char(' ') + ProgramVersion());
}

void TFrm_Result::LoadResults() {
    hoverRow_ = -1;
    foundCount_ = 0;
    view_.SortAscending = false;
    // Nothing of an earlier result stays: the trees refer to its records.
    typeTree_->Clear();
    folderTree_->Clear();
    searchTimer_.stop();
    searchActive_ = false;
    search_->SetText(QString());
    search_->IdleLook();
    view_.AppliedSearch = results::ViewFilter{};
    ShowLocation(nullptr);
    UpdateSelectedText();
    foundCount_ = progress_.FResultCount;
    const QString damage = FromUtf8(results::ScanDamageText(scan_.Disks));
    damage_->SetMarkedText(damage);
    damage_->setAccessibleName(damage);
    damage_->setVisible(!damage.isEmpty());
    if (foundCount_ == 0) {
        header_->SetMarkedText(QString());
        return;
    }
    header_->SetMarkedText(FromUtf8(results::HeaderText(foundCount_, view_.ShownSize)));
    // The page builds its trees itself: no selection handler runs meanwhile.
    const QSignalBlocker blockTypes(typeTree_);
    const QSignalBlocker blockFolders(folderTree_);
    folderTree_->Build(scan_.Disks, foundCount_);
    typeTree_->Build(scan_.Categories, progress_);
}

void TFrm_Result::Receive(const HubMessage& message) {
    if (message.msg != Msg::LeaveResults)
        return;
    if (closeQuestion_)
        closeQuestion_();
    if (message.Yes())
        Leave();
    hub_.Undim();
}

void TFrm_Result::AnswerRecoverRequest() {
    hub_.Post(view_.CheckedCount > 0 ? Msg::ChooseDestination : Msg::NothingToRecover);
}

void TFrm_Result::UncheckAllShown() {
    view_.UncheckAllShown();
    model_->ChecksChanged();
    list_->CheckHeader()->SetCheckState(Qt::Unchecked);
    UpdateSelectedText();
}

TMyDisk* TFrm_Result::DiskNamed(const std::string& name) const {
    for (const auto& disk : scan_.Disks)
        if (volume::EqualsIgnoreCase(disk->DriveName, name))
            return disk.get();
    return nullptr;
}

void TFrm_Result::TakeFocusFromSearch() {
    if (search_->Edit()->hasFocus())
        (typeTree_->isVisible() ? static_cast<QWidget*>(typeTree_) : folderTree_)->setFocus();
}

void TFrm_Result::FolderTreeChanged() {
    searchActive_ = false;
    view_.AppliedSearch = results::ViewFilter{};
    search_->SetText(QString());
    search_->IdleLook();
    TakeFocusFromSearch();
    hoverRow_ = -1;
    const QTreeWidgetItem* node = folderTree_->currentItem();
    if (!folderTree_->isEnabled() || !node)
        return;
    ShowLocation(node);
    UpdateSelectedText();
}

void TFrm_Result::ShowLocation(const QTreeWidgetItem* node) {
    TMyDisk* disk = nullptr;
    const TMyFolder* folder = nullptr;
    const int kind = node ? FolderTree::Kind(*node) : kNodeAllLocations;
    if (kind == kNodeDrive || kind == kNodeSystemDrive) {
        disk = FolderTree::DiskOf(*node);
    } else if (kind == kNodeFolder) {
        folder = FolderTree::FolderOf(*node);
        disk = folder && folder->Drive ? DiskNamed(folder->Drive->DriveName) : nullptr;
        if (!disk)
            return;
    }
    list_->raise();
    view_.ShowLocation(disk, folder);
    ResetList();
    UpdateSortMark();
}

void TFrm_Result::TypeTreeChanged() {
    searchActive_ = true;
    view_.AppliedSearch.reset();
    search_->SetText(search_->Placeholder());
    search_->IdleLook();
    TakeFocusFromSearch();
    const QTreeWidgetItem* node = typeTree_->currentItem();
    if (!node)
        return;
    switch (TypeTree::Depth(*node)) {
    case 0:
        ApplySearch(results::ViewFilter{});
        break;
    case 1:
        ApplySearch(results::ViewFilter{ToUtf8(node->text(0)), TypeTree::CategoryIndex(*node), false});
        break;
    default:
        ApplySearch(results::ViewFilter{ToUtf8(TypeTree::Extension(*node)), -1, true});
        break;
    }
    UpdateSelectedText();
}

void TFrm_Result::ApplySearch(const results::ViewFilter& filter) {
    if (!view_.ApplySearch(filter))
        return;
    ResetList();
    UpdateSortMark();
}

void TFrm_Result::SearchTimerFired() {
    searchTimer_.stop();
    const QString text = search_->Edit()->text();
    if (text != search_->Placeholder() && searchActive_) {
        ApplySearch(results::ViewFilter{ToUtf8(text), -1, false});
        UpdateSelectedText();
    }
}

void TFrm_Result::SearchTextChanged() {
    // Text that arrives without a click into the box (a screen reader sets
    // it) is a search all the same, and shows in the normal colour.
    if (!searchActive_) {
        searchActive_ = true;
        if (!search_->Edit()->hasFocus())
            search_->IdleLook();
    }
    searchTimer_.start();
}

void TFrm_Result::SearchBoxPressed() {
    search_->ActiveLook();
    searchActive_ = true;
}

void TFrm_Result::MagnifierPressed() {
    searchActive_ = true;
    search_->ActiveLook();
    search_->SetText(QString());
    search_->Edit()->setFocus(Qt::MouseFocusReason);
}

void TFrm_Result::ClearPressed() {
    search_->SetText(QString());
    search_->IdleLook();
    typeTree_->setFocus();
    FolderTreeChanged();
    searchActive_ = false;
}

void TFrm_Result::EndSearchEdit() {
    QLineEdit* edit = search_->Edit();
    if (edit->text() == search_->Placeholder())
        search_->IdleLook();
    if (searchActive_)
        edit->setCursorPosition(static_cast<int>(edit->text().size()));
    if (edit->text().isEmpty())
        search_->IdleLook();
}

void TFrm_Result::ListPressed() {
    searchActive_ = false;
    EndSearchEdit();
}

void TFrm_Result::SortByColumn(int column) {
    if (column < 0 || column >= results::kColumnCount)
        return;
    view_.SortByColumn(column);
    model_->Reload();
    UpdateSortMark();
}

void TFrm_Result::UpdateSortMark() {
    QHeaderView* header = list_->horizontalHeader();
    header->setSortIndicatorShown(true);
    header->setSortIndicator(view_.SortColumn, view_.SortAscending ? Qt::AscendingOrder : Qt::DescendingOrder);
    header->viewport()->update();
}

bool TFrm_Result::TypeTabInFront() const { return !typeTree_->isHidden(); }

void TFrm_Result::MarkTab(bool types) {
    typeTab_->SetLook(types ? RdImgButton::Look::Primary : RdImgButton::Look::Secondary);
    locationTab_->SetLook(types ? RdImgButton::Look::Secondary : RdImgButton::Look::Primary);
    typeTree_->setVisible(types);
    folderTree_->setVisible(!types);
}

void TFrm_Result::ShowTypeTab() {
    MarkTab(true);
    TypeTreeChanged();
}

void TFrm_Result::ShowLocationTab() {
    MarkTab(false);
    FolderTreeChanged();
}

void TFrm_Result::CheckToggled() {
    UpdateSelectedText();
    list_->CheckHeader()->SetCheckState(view_.AllShownChecked() ? Qt::Checked : Qt::Unchecked);
    list_->viewport()->update();
}

void TFrm_Result::AllChecksToggled(bool checked) {
    if (checked)
        view_.CheckAllShown();
    else
        view_.UncheckAllShown();
    list_->CheckHeader()->SetCheckState(checked ? Qt::Checked : Qt::Unchecked);
    model_->ChecksChanged();
    UpdateSelectedText();
}

void TFrm_Result::BackPressed(bool onArrow) {
    if (onArrow) {
        Leave();
        return;
    }
    if (!view_.AllFiles.empty()) {
        hub_.Dim();
        if (openQuestion_)
            openQuestion_(Question::BackLeavingResults);
        return;
    }
    Leave();
}

void TFrm_Result::Leave() {
    // The next scan frees the records this page refers to: nothing of them stays.
    searchTimer_.stop();
    view_.Clear();
    model_->Reload();
    list_->CheckHeader()->SetCheckState(Qt::Unchecked);
    typeTree_->Clear();
    folderTree_->Clear();
    UpdateSelectedText();
    hub_.Post(Msg::BackToStart);
}

void TFrm_Result::ResetList() {
    view_.UncheckAllShown();
    list_->CheckHeader()->SetCheckState(Qt::Unchecked);
    model_->Reload();
    selected_->hide();
    list_->viewport()->update();
}

bool TFrm_Result::KeepFolders() const { return keepFolders_->isChecked(); }

void TFrm_Result::UpdateSelectedText() {
    if (view_.CheckedCount == 0) {
        selected_->hide();
        return;
    }
    selected_->SetMarkedText(FromUtf8(results::SelectedFilesText(view_.CheckedCount, view_.CheckedSize)));
    const int width = selected_->sizeHint().width();
    selected_->setGeometry(recover_->x() - kSelectedGap - width, recover_->y(), width, recover_->height());
    selected_->show();
}

} // namespace gui
