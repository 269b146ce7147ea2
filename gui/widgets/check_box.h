#pragma once
// The skinned check box, drawn as a box with a tick or as a sliding toggle.
// It stays a QCheckBox underneath: screen readers see a check box with its
// state, and Space (or Enter) flips it.
#include <QCheckBox>

class RdCheckBox : public QCheckBox {
    Q_OBJECT
public:
    enum class Look { Box, Toggle };
    RdCheckBox(Look look, QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool hitButton(const QPoint& pos) const override { return rect().contains(pos); }

private:
    QRect MarkRect() const;
    Look look_;
};

// Draws a check mark box in `rect` (shared with the lists' check columns).
class QPainter;
void PaintCheckMark(QPainter& painter, const QRectF& rect, Qt::CheckState state, bool enabled);
