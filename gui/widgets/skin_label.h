#pragma once
// The skinned label: wrapped text in which every "<a>…</a>" run is drawn bold
// in the accent colour (the language files mark numbers and names that way).
// Its accessible text is the plain text, without the marks.
#include <QLabel>
#include <QTextLayout>

class RdLabel : public QLabel {
    Q_OBJECT
public:
    explicit RdLabel(QWidget* parent = nullptr);

    // Text with optional "<a>…</a>" runs.
    void SetMarkedText(const QString& marked);
    QString MarkedText() const { return marked_; }
    void SetColor(const QColor& color);
    void SetAlignment(Qt::Alignment alignment);
    // At most `lines` lines are drawn, the last one cut with an ellipsis when
    // the text needs more; 0 draws every line.
    void SetMaxLines(int lines);
    // Fits the label to `width` at its current left and top: its one-line
    // width when the text is that narrow; else `width` and two lines, cut with
    // an ellipsis when even two are not enough, and the full text as its hint.
    void FitToWidth(int width);

    // The plain text and where its accent runs lie.
    struct Runs {
        QString plain;
        QList<QTextLayout::FormatRange> accents;
    };
    static Runs Parse(const QString& marked);

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // Lays the text out at `width`; returns the height it takes.
    qreal Layout(QTextLayout& layout, int width) const;
    QString marked_;
    QColor color_;
    int maxLines_ = 0;
    Qt::Alignment alignment_ = Qt::AlignLeft | Qt::AlignVCenter;
};
