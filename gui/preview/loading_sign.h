#pragma once
// ImageNote_Loading: the loading sign of the preview surfaces, a spinner
// turned one frame further at each tick of the surface's poll timer.
#include <QWidget>

namespace gui {

class LoadingSign : public QWidget {
    Q_OBJECT
public:
    static constexpr int kSize = 42;
    static constexpr int kFrames = 12;

    explicit LoadingSign(QWidget* parent = nullptr);

    int Frame() const { return frame_; }
    void SetFrame(int frame);
    // One frame further, back to the first after the last.
    void Advance() { SetFrame((frame_ + 1) % kFrames); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int frame_ = 0;
};

} // namespace gui
