#pragma once
// One file-type switch of the start page: a card with the category's
// picture and name and a check mark. It stays a QCheckBox underneath, so
// screen readers see a check box with its state, and Space or Enter flips it.
#include <QCheckBox>

namespace gui {

class TTypeTile : public QCheckBox {
    Q_OBJECT
public:
    // `art` names the category's picture in gui/art.
    TTypeTile(const QString& art, QWidget* parent);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return {120, 56}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool hitButton(const QPoint& pos) const override { return rect().contains(pos); }

private:
    QString art_;
};

} // namespace gui
