#pragma once
// The result list: the report list over the shown files, with the row check
// box pressed in its own small zone, the preview button column and the
// result page's keys. It tells the page what the user did; the page changes
// the view and the texts.
#include "gui/widgets/report_list.h"

namespace gui {

class ResultListModel;

class ResultList : public RdReportList {
    Q_OBJECT
public:
    explicit ResultList(QWidget* parent = nullptr);

    void SetResultModel(ResultListModel* model);
    ResultListModel* ResultModel() const { return model_; }
    // The header's check box is set by the page from the view's counters.
    void CheckAll(bool checked) override;
    // Where a row's check box lies in viewport coordinates.
    QRect CheckZone(int row) const;
    // Where a row's preview button lies in viewport coordinates (an empty
    // rectangle when the file has no preview).
    QRect PreviewButton(int row) const;

signals:
    void AllChecksToggled(bool checked);
    void PreviewRequested(int row);
    // A mouse press anywhere on the list.
    void Pressed();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void UpdateHeaderState() override {}

private:
    void Toggle(int row);
    ResultListModel* model_ = nullptr;
};

} // namespace gui
