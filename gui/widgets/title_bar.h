#pragma once
// The title bar of every skinned window: our logo and the title on the left
// (pressing there moves the window), and the title glyph buttons on the right.
#include <QWidget>

class RdImgButton;

class RdTitleBar : public QWidget {
    Q_OBJECT
public:
    enum Button { Close = 1, Minimize = 2, Options = 4 };
    RdTitleBar(int buttons, QWidget* parent = nullptr);

    void SetTitle(const QString& title);
    QString Title() const { return title_; }
    void SetHints(const QString& close, const QString& minimize, const QString& options);

    RdImgButton* CloseButton() const { return close_; }
    RdImgButton* MinimizeButton() const { return minimize_; }
    RdImgButton* OptionsButton() const { return options_; }

signals:
    // The title image was pressed: the owner lets the window be dragged.
    void TitlePressed(const QPointF& global);
    void CloseClicked();
    void MinimizeClicked();
    void OptionsClicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QString title_;
    RdImgButton* close_ = nullptr;
    RdImgButton* minimize_ = nullptr;
    RdImgButton* options_ = nullptr;
};
