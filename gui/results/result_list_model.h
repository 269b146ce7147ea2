#pragma once
// The rows of the result list: a table model that reads each row from the
// result view's shown files when the list asks for it. It keeps nothing per
// row; a cell's text is made when the cell is painted.
#include <QAbstractTableModel>

#include "results/result_view.h"

class TLanUse;

namespace gui {

class ResultListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    ResultListModel(results::TResultView& view, const TLanUse& language, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Checks or unchecks the row's file through the view.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

    // The file of a row; null outside the list.
    TMyFile* FileAt(int row) const;
    // The view's rows changed (a filter pass, a sort): the list starts anew.
    void Reload();
    // Check marks changed on many rows at once.
    void ChecksChanged();

signals:
    // A row's check mark was flipped through the model (a click, Space, a screen reader).
    void CheckToggled(int row);

private:
    results::TResultView& view_;
    QString captions_[results::kColumnCount];
    QString previewText_;
};

} // namespace gui
