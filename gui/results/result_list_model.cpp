#include "gui/results/result_list_model.h"

#include "gui/common/texts.h"
#include "results/view_texts.h"
#include "scan/scan_selection.h"

namespace gui {

namespace {
const char* const kCategoryArt[] = {"cat-pictures", "cat-videos", "cat-music", "cat-documents", "cat-archives", "cat-others"};

const TScanFileType& Masks() {
    static const TScanFileType masks;
    return masks;
}

QString GradeArt(uint8_t state) {
    return state == kStateExcellent ? QStringLiteral("grade-excellent")
           : state == kStateGood    ? QStringLiteral("grade-good")
                                    : QStringLiteral("grade-poor");
}
} // namespace

ResultListModel::ResultListModel(results::TResultView& view, const TLanUse& language, QObject* parent)
    : QAbstractTableModel(parent), view_(view) {
    captions_[results::kColumnName] = Tr(language, "M_FileName", "File Name");
    captions_[results::kColumnPath] = Tr(language, "M_Path", "Path");
    captions_[results::kColumnState] = Tr(language, "M_Recoverability", "Recoverability");
    captions_[results::kColumnSize] = Tr(language, "M_Size", "Size");
    captions_[results::kColumnDate] = Tr(language, "M_ModifyDate", "Date Modified");
    previewText_ = Tr(language, "M_Preview", "Preview");
}

int ResultListModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid())
        return 0;
    return static_cast<int>(std::min<size_t>(view_.ShownFiles.size(), INT_MAX));
}

int ResultListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : results::kColumnCount; }

TMyFile* ResultListModel::FileAt(int row) const {
    return row >= 0 && static_cast<size_t>(row) < view_.ShownFiles.size() ? view_.ShownFiles[static_cast<size_t>(row)]
                                                                         : nullptr;
}

QVariant ResultListModel::data(const QModelIndex& index, int role) const {
    const TMyFile* file = index.isValid() ? FileAt(index.row()) : nullptr;
    if (!file)
        return {};
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        if (column == results::kColumnPreview)
            return file->PreviewKind != kPreviewNone && role == Qt::ToolTipRole ? previewText_ : QVariant();
        return FromUtf8(results::CellText(*file, column));
    case Qt::AccessibleTextRole:
        // The preview cell has no text of its own; a screen reader names its button.
        if (column == results::kColumnPreview)
            return file->PreviewKind != kPreviewNone ? previewText_ : QString();
        return FromUtf8(results::CellText(*file, column));
    case Qt::CheckStateRole:
        if (column == results::kColumnName)
            return file->Checked ? Qt::Checked : Qt::Unchecked;
        return {};
    case Qt::DecorationRole:
        if (column == results::kColumnName)
            return QString::fromLatin1(kCategoryArt[Masks().CategoryOf(file->Extension)]);
        if (column == results::kColumnState)
            return GradeArt(file->State);
        if (column == results::kColumnPreview && file->PreviewKind != kPreviewNone)
            return QStringLiteral("preview");
        return {};
    case Qt::TextAlignmentRole:
        if (column == results::kColumnSize)
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        return {};
    default:
        return {};
    }
}

QVariant ResultListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= results::kColumnCount)
        return {};
    if (role == Qt::DisplayRole)
        return captions_[section];
    if (role == Qt::AccessibleTextRole)
        return section == results::kColumnPreview ? previewText_ : captions_[section];
    return {};
}

Qt::ItemFlags ResultListModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == results::kColumnName)
        flags |= Qt::ItemIsUserCheckable;
    return flags;
}

bool ResultListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    TMyFile* file = index.isValid() && index.column() == results::kColumnName ? FileAt(index.row()) : nullptr;
    if (!file || role != Qt::CheckStateRole)
        return false;
    if (static_cast<Qt::CheckState>(value.toInt()) == Qt::Checked)
        view_.CheckOne(*file);
    else
        view_.UncheckOne(*file);
    emit dataChanged(index, index, {Qt::CheckStateRole});
    emit CheckToggled(index.row());
    return true;
}

void ResultListModel::Reload() {
    beginResetModel();
    endResetModel();
}

void ResultListModel::ChecksChanged() {
    if (const int rows = rowCount(); rows > 0)
        emit dataChanged(index(0, 0), index(rows - 1, 0), {Qt::CheckStateRole});
}

} // namespace gui
