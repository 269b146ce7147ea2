#pragma once
// TFrm_Preview: the large preview window, opened by a row's preview button.
// It shows the file's picture, text or Word document text in its content
// box, dims the main window while it is open, and brings the result page
// back when it is closed. Three of them live as long as the main window:
// the picture-and-text window, the document window, and the busy window
// that says "No Preview Available" while the document window is still busy.
#include "gui/preview/preview_surface.h"

class QLabel;
class RdImgButton;
class TUnDeleteProgress;

namespace gui {

class MessageHub;

class TFrm_Preview : public PreviewSurface {
    Q_OBJECT
public:
    static constexpr int kWidth = 910;
    static constexpr int kHeight = 617;
    static constexpr int kBandHeight = 33;  // title and close button
    // Where the window stands, from the main window's top-left corner.
    static constexpr QPoint kOffset{23, 22};

    // A floating window of its own, or a child inside the main window.
    enum class Placement { Floating, InsideMain };

    TFrm_Preview(MessageHub& hub, const TLanUse& language, const TUnDeleteProgress& progress, QWidget* mainWindow,
                 Placement placement);

    // Opens the window for `file` (loading it), or without one to say
    // "No Preview Available"; dims the main window.
    void Open(const TMyFile* file);
    // The close button: undims, hides, cancels the worker, and shows the
    // result page again unless the program is being left.
    void Close();

    QLabel* TitleLabel() const { return title_; }
    QString FullTitle() const { return fullTitle_; }
    RdImgButton* CloseButton() const { return close_; }
    QWidget* Background() const { return background_; }

protected:
    void EndCancelled() override;
    void ResultShown() override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Place();
    void LayOut();
    void FitTitle(const QString& title);

    MessageHub& hub_;
    const TUnDeleteProgress& progress_;
    QWidget* mainWindow_;
    QWidget* background_;
    QLabel* title_;
    RdImgButton* close_;
    QString fullTitle_;
};

} // namespace gui
