#pragma once
// The skinned push button: our own picture for normal, hover, pressed and
// disabled, with a focus ring. It stays a QPushButton underneath, so screen
// readers see a button, Space presses it and so does Enter.
#include <QPushButton>

class RdImgButton : public QPushButton {
    Q_OBJECT
public:
    enum class Look {
        Primary,    // filled in the main colour: the one action a window asks for
        Secondary,  // outlined: the other answers
        TitleGlyph, // a white picture on the title bar (close, minimize, options)
    };

    RdImgButton(Look look, QWidget* parent = nullptr);

    // The picture drawn instead of, or before, the caption (a name from gui/art).
    void SetArt(const QString& name);
    // The hint is shown on hover and is the button's name when it has no caption.
    void SetHint(const QString& hint);
    void SetCaption(const QString& caption);
    Look ButtonLook() const { return look_; }
    // A new look: the tab buttons of a page show the tab in front filled.
    void SetLook(Look look);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void UpdateAccessibleName();
    Look look_;
    QString art_;
    bool hovered_ = false;
};
