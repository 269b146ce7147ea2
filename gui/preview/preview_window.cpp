#include "gui/preview/preview_window.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>

#include "gui/common/message_hub.h"
#include "gui/common/texts.h"
#include "gui/preview/loading_sign.h"
#include "gui/preview/picture_view.h"
#include "gui/widgets/image_button.h"
#include "gui/widgets/skin.h"
#include "gui/widgets/skin_label.h"
#include "gui/widgets/window_drag.h"
#include "scan/progress.h"

namespace gui {

namespace {

// Image_BG: the window's background, the title band over black. A press on
// it moves the window.
class PreviewBackground : public QWidget {
public:
    explicit PreviewBackground(QWidget* parent) : QWidget(parent) { setObjectName(QStringLiteral("Image_BG")); }

protected:
    void paintEvent(QPaintEvent*) override {
        const skin::Palette& c = skin::Colors();
        QPainter p(this);
        p.fillRect(rect(), Qt::black);
        QLinearGradient band(0, 0, 0, TFrm_Preview::kBandHeight);
        band.setColorAt(0, c.titleTop);
        band.setColorAt(1, c.titleBottom);
        p.fillRect(QRect(0, 0, width(), TFrm_Preview::kBandHeight), band);
        p.setPen(c.titleTop);
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton)
            skin::BeginWindowDrag(parentWidget(), event->globalPosition());
    }
};

Qt::WindowFlags FlagsFor(TFrm_Preview::Placement placement) {
    return placement == TFrm_Preview::Placement::Floating ? Qt::Window | Qt::FramelessWindowHint : Qt::Widget;
}

} // namespace

TFrm_Preview::TFrm_Preview(MessageHub& hub, const TLanUse& language, const TUnDeleteProgress& progress,
                           QWidget* mainWindow, Placement placement)
    : PreviewSurface(language, kLargePreview, QRect(15, 42, 880, 560), mainWindow, FlagsFor(placement)),
      hub_(hub),
      progress_(progress),
      mainWindow_(mainWindow),
      background_(new PreviewBackground(this)),
      title_(new QLabel(this)),
      close_(new RdImgButton(RdImgButton::Look::TitleGlyph, this)) {
    setObjectName(QStringLiteral("Frm_Preview"));
    setFixedSize(kWidth, kHeight);
    setWindowTitle(AppTitle());
    setAccessibleName(AppTitle());
    background_->lower();

    title_->setObjectName(QStringLiteral("RdLabel_Titile"));
    title_->setTextFormat(Qt::PlainText);
    title_->setFont(skin::Font(14, true));
    QPalette titlePalette = title_->palette();
    titlePalette.setColor(QPalette::WindowText, skin::Colors().titleText);
    title_->setPalette(titlePalette);
    close_->setObjectName(QStringLiteral("RdImgBtn_Close"));
    close_->SetArt(QStringLiteral("close"));
    close_->SetHint(Tr(language_, "M_Close", "Close"));
    connect(close_, &QPushButton::clicked, this, [this] { Close(); });

    QPlainTextEdit* memo = Memo();
    memo->setObjectName(QStringLiteral("Memo_Text"));
    memo->setFont(skin::Font(18));
    QPalette memoPalette = memo->palette();
    memoPalette.setColor(QPalette::Base, Qt::white);
    memoPalette.setColor(QPalette::Text, Qt::black);
    memo->setPalette(memoPalette);
    memo->setLineWrapMode(QPlainTextEdit::NoWrap);
    memo->document()->setDocumentMargin(10);
    memo->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    skin::StyleScrollBars(*memo);
    // What is previewed is not to be copied out: no menu, no copy keys.
    memo->setContextMenuPolicy(Qt::NoContextMenu);
    memo->installEventFilter(this);
    NoPreviewLabel()->SetColor(Qt::white);
    NoPreviewLabel()->setFont(skin::Font(16));
    LoadingLabel()->SetColor(Qt::white);
    LayOut();
    hide();
}

void TFrm_Preview::LayOut() {
    background_->setGeometry(rect());
    const QSize closeSize = close_->sizeHint();
    close_->setGeometry(width() - 8 - closeSize.width(), (kBandHeight - closeSize.height()) / 2, closeSize.width(),
                        closeSize.height());
    const int middle = height() / 2;
    const int noPreviewHeight = NoPreviewLabel()->heightForWidth(width());
    NoPreviewLabel()->setGeometry(0, middle - noPreviewHeight, width(), noPreviewHeight);
    LoadingLabel()->setGeometry(0, middle, width(), LoadingLabel()->heightForWidth(width()));
    Loading()->move((width() - LoadingSign::kSize) / 2, middle - 67);
    Memo()->setGeometry(1, kBandHeight, width() - 2, height() - kBandHeight - 1);
}

void TFrm_Preview::Place() {
    if (isWindow() && mainWindow_)
        move(mainWindow_->frameGeometry().topLeft() + kOffset);
    else
        move(kOffset);
}

void TFrm_Preview::FitTitle(const QString& title) {
    fullTitle_ = title;
    const int limit = width() - 100;
    const QFontMetrics metrics(title_->font());
    const int natural = metrics.horizontalAdvance(title);
    const QString shown = natural > limit ? metrics.elidedText(title, Qt::ElideRight, limit) : title;
    title_->setText(shown);
    title_->setGeometry(14, 0, std::min(natural, limit), kBandHeight);
    title_->setToolTip(title);
    title_->setAccessibleName(title);
    setWindowTitle(title);
    setAccessibleName(title);
}

void TFrm_Preview::Open(const TMyFile* file) {
    Place();
    raise();
    LayOut();
    HideContent();
    background_->show();
    title_->show();
    close_->show();
    if (file) {
        FitTitle(AppTitle() + QStringLiteral(" - ") + FromUtf8(file->FileName));
        Picture()->Clear();
        Picture()->setAccessibleName(fullTitle_);
        Memo()->setAccessibleName(fullTitle_);
        ShowLoadingSign();
        StartRequest(file);
    } else {
        FitTitle(AppTitle());
        ShowNoPreview();
    }
    hub_.Dim();
    show();
    raise();
    activateWindow();
    close_->setFocus();
}

void TFrm_Preview::Close() {
    hub_.Undim();
    hide();
    Worker().Cancel();
    if (Finished())
        Worker().ReleaseContent();
    Memo()->clear();
    if (!progress_.FAbort)
        hub_.Send(Msg::PreviewClosed);
}

void TFrm_Preview::EndCancelled() { hide(); }

void TFrm_Preview::ResultShown() {
    Memo()->moveCursor(QTextCursor::Start);
    Memo()->ensureCursorVisible();
}

// Closed by the system (the window manager's close, Alt+F4): as by the
// close button, so that the main window is not left dimmed.
void TFrm_Preview::closeEvent(QCloseEvent* event) {
    if (isVisible())
        Close();
    event->accept();
}

void TFrm_Preview::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        Close();
        return;
    }
    PreviewSurface::keyPressEvent(event);
}

bool TFrm_Preview::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Memo() && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool cut = key->key() == Qt::Key_X && (key->modifiers() & Qt::ControlModifier);
        if (key->key() == Qt::Key_C || key->key() == Qt::Key_V || cut || key->matches(QKeySequence::Copy) ||
            key->matches(QKeySequence::Cut))
            return true;
    }
    return PreviewSurface::eventFilter(watched, event);
}

} // namespace gui
