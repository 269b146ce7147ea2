#pragma once
// Image_Pic: a preview's picture, drawn scaled to the control's own size.
// It keeps the picture only at that size, not the decoded original.
#include <QImage>
#include <QWidget>

namespace gui {

class PictureView : public QWidget {
    Q_OBJECT
public:
    explicit PictureView(QWidget* parent = nullptr);

    // Takes `picture` drawn into `rect` (in the parent's coordinates).
    void SetPicture(const QImage& picture, const QRect& rect);
    void Clear();
    bool HasPicture() const { return !scaled_.isNull(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage scaled_;
};

} // namespace gui
