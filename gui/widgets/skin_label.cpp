#include "gui/widgets/skin_label.h"

#include <QPainter>
#include <QTextOption>

#include <cmath>

#include "gui/widgets/skin.h"

RdLabel::RdLabel(QWidget* parent) : QLabel(parent), color_(skin::Colors().text) {
    setFont(skin::Font(13));
    setWordWrap(true);
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

RdLabel::Runs RdLabel::Parse(const QString& marked) {
    Runs runs;
    QTextCharFormat accent;
    accent.setFontWeight(QFont::Bold);
    accent.setForeground(skin::Colors().accent);
    qsizetype at = 0;
    while (at < marked.size()) {
        const qsizetype open = marked.indexOf(QLatin1String("<a>"), at, Qt::CaseInsensitive);
        const qsizetype close = open < 0 ? -1 : marked.indexOf(QLatin1String("</a>"), open + 3, Qt::CaseInsensitive);
        if (open < 0 || close < 0) {
            runs.plain += marked.mid(at);
            break;
        }
        runs.plain += marked.mid(at, open - at);
        const QString inner = marked.mid(open + 3, close - open - 3);
        runs.accents.append({static_cast<int>(runs.plain.size()), static_cast<int>(inner.size()), accent});
        runs.plain += inner;
        at = close + 4;
    }
    return runs;
}

void RdLabel::SetMarkedText(const QString& marked) {
    marked_ = marked;
    setText(Parse(marked).plain);  // what screen readers read
    updateGeometry();
    update();
}

void RdLabel::SetColor(const QColor& color) {
    color_ = color;
    update();
}

void RdLabel::SetAlignment(Qt::Alignment alignment) {
    alignment_ = alignment;
    update();
}

namespace {

// Lays `runs` out at `width`; returns the height the lines take and sets `lines`.
qreal LayOut(QTextLayout& layout, const RdLabel::Runs& runs, const QFont& font, Qt::Alignment alignment, int width,
             qreal leading, int& lines) {
    layout.setText(runs.plain);
    layout.setFont(font);
    layout.setFormats(runs.accents.toVector());
    QTextOption option(alignment & Qt::AlignHorizontal_Mask);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    qreal y = 0;
    lines = 0;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(std::max(1, width));
        line.setPosition(QPointF(0, y));
        y += line.height() + leading;
        ++lines;
    }
    layout.endLayout();
    return y > 0 ? y - leading : 0;
}

// The first `length` characters of `runs` followed by an ellipsis.
RdLabel::Runs Cut(const RdLabel::Runs& runs, qsizetype length) {
    RdLabel::Runs cut;
    cut.plain = runs.plain.left(length).trimmed() + QChar(0x2026);
    for (QTextLayout::FormatRange range : runs.accents) {
        if (range.start >= cut.plain.size() - 1)
            continue;
        range.length = std::min<int>(range.length, static_cast<int>(cut.plain.size() - 1) - range.start);
        cut.accents.append(range);
    }
    return cut;
}

} // namespace

qreal RdLabel::Layout(QTextLayout& layout, int width) const {
    const Runs runs = Parse(marked_);
    const qreal leading = fontMetrics().leading() + 2;
    int lines = 0;
    const qreal height = LayOut(layout, runs, font(), alignment_, width, leading, lines);
    if (maxLines_ <= 0 || lines <= maxLines_)
        return height;
    // The longest beginning that fits the lines with its ellipsis.
    qsizetype fits = 0, tooLong = runs.plain.size();
    while (tooLong - fits > 1) {
        const qsizetype middle = (fits + tooLong) / 2;
        QTextLayout trial;
        LayOut(trial, Cut(runs, middle), font(), alignment_, width, leading, lines);
        (lines <= maxLines_ ? fits : tooLong) = middle;
    }
    return LayOut(layout, Cut(runs, fits), font(), alignment_, width, leading, lines);
}

void RdLabel::SetMaxLines(int lines) {
    maxLines_ = lines;
    updateGeometry();
    update();
}

void RdLabel::FitToWidth(int width) {
    const int natural = sizeHint().width();
    if (natural <= width) {
        SetMaxLines(1);
        setToolTip(QString());
        resize(natural, heightForWidth(natural));
        return;
    }
    SetMaxLines(2);
    setToolTip(text());
    resize(width, heightForWidth(width));
}

int RdLabel::heightForWidth(int width) const {
    QTextLayout layout;
    return static_cast<int>(std::ceil(Layout(layout, width)));
}

QSize RdLabel::sizeHint() const {
    // Laid out on one line with its bold runs, which are wider than plain text.
    QTextLayout line;
    const Runs runs = Parse(marked_);
    line.setText(runs.plain);
    line.setFont(font());
    line.setFormats(runs.accents.toVector());
    line.beginLayout();
    QTextLine only = line.createLine();
    if (only.isValid())
        only.setLineWidth(1e6);
    line.endLayout();
    const int natural = static_cast<int>(std::ceil(only.isValid() ? only.naturalTextWidth() : 0.0)) + 2;
    const int width = maximumWidth() < QWIDGETSIZE_MAX ? std::min(natural, maximumWidth()) : natural;
    return {width, heightForWidth(width)};
}

QSize RdLabel::minimumSizeHint() const { return {40, fontMetrics().height()}; }

void RdLabel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::TextAntialiasing);
    QTextLayout layout;
    const qreal height = Layout(layout, width());
    qreal top = 0;
    if (alignment_ & Qt::AlignVCenter)
        top = (this->height() - height) / 2;
    else if (alignment_ & Qt::AlignBottom)
        top = this->height() - height;
    p.setPen(isEnabled() ? color_ : skin::Colors().mutedText);
    layout.draw(&p, QPointF(0, std::max<qreal>(0, top)));
}
