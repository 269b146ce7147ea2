#include "gui/widgets/skin.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QScrollBar>
#include <QGuiApplication>
#include <QHash>
#include <QPainter>
#include <QPalette>
#if DUNRO_SVG_ART
#include <QSvgRenderer>
#else
#include <QImage>
#endif

// Resources of a static library are registered by hand, outside any namespace.
static void RegisterArt() { Q_INIT_RESOURCE(art); }

namespace skin {

const Palette& Colors() {
    static const Palette palette;
    return palette;
}

QFont Font(int pixelSize, bool bold) {
    // Tahoma where it exists (the look the windows were drawn for), then the
    // common sans fonts of the other systems.
    QFont font;
    font.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("Segoe UI"), QStringLiteral("DejaVu Sans"),
                      QStringLiteral("Liberation Sans"), QStringLiteral("Arial")});
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    font.setHintingPreference(QFont::PreferVerticalHinting);
    return font;
}

void Apply(QApplication& app) {
    RegisterArt();
    app.setFont(Font());
    const Palette& c = Colors();
    QPalette palette = app.palette();
    palette.setColor(QPalette::Window, c.page);
    palette.setColor(QPalette::Base, c.panel);
    palette.setColor(QPalette::AlternateBase, c.page);
    palette.setColor(QPalette::WindowText, c.text);
    palette.setColor(QPalette::Text, c.text);
    palette.setColor(QPalette::ButtonText, c.text);
    palette.setColor(QPalette::Button, c.panel);
    palette.setColor(QPalette::Highlight, c.selection);
    palette.setColor(QPalette::HighlightedText, c.text);
    palette.setColor(QPalette::ToolTipBase, c.panel);
    palette.setColor(QPalette::ToolTipText, c.text);
    palette.setColor(QPalette::Link, c.accent);
    app.setPalette(palette);
}

void StyleScrollBars(QAbstractScrollArea& area) {
    const Palette& c = Colors();
    // Set on the bars alone: the rest of the area keeps its own painting.
    const QString sheet = QStringLiteral(
        "QScrollBar { background: %1; border: none; margin: 2px; }"
        "QScrollBar:vertical { width: 12px; } QScrollBar:horizontal { height: 12px; }"
        "QScrollBar::handle { background: %2; border-radius: 4px; }"
        "QScrollBar::handle:vertical { min-height: 28px; } QScrollBar::handle:horizontal { min-width: 28px; }"
        "QScrollBar::handle:hover { background: %3; }"
        "QScrollBar::add-line, QScrollBar::sub-line { width: 0; height: 0; border: none; background: none; }"
        "QScrollBar::add-page, QScrollBar::sub-page { background: none; }")
                              .arg(c.panel.name(), c.disabledFill.name(), c.mutedText.name());
    area.verticalScrollBar()->setStyleSheet(sheet);
    area.horizontalScrollBar()->setStyleSheet(sheet);
}

QPixmap Art(const QString& name, QSize size) {
    const qreal ratio = qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
    const QString key = name + QLatin1Char('@') + QString::number(size.width()) + QLatin1Char('x') +
                        QString::number(size.height()) + QLatin1Char('@') + QString::number(ratio);
    static QHash<QString, QPixmap> cache;
    if (auto it = cache.constFind(key); it != cache.constEnd())
        return *it;
    QPixmap pixmap(size * ratio);
    pixmap.fill(Qt::transparent);
#if DUNRO_SVG_ART
    QSvgRenderer renderer(QStringLiteral(":/art/") + name + QStringLiteral(".svg"));
    if (renderer.isValid()) {
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter);
    }
#else
    // A Qt without its SVG module (the Windows build's, where the archive has
    // no source of that module to build) gets each picture drawn large at
    // build time, scaled down here as the vector one would be stretched.
    const QImage master(QStringLiteral(":/art/") + name + QStringLiteral(".png"));
    if (!master.isNull()) {
        QPainter painter(&pixmap);
        painter.drawImage(QPoint(), master.scaled(pixmap.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    }
#endif
    pixmap.setDevicePixelRatio(ratio);
    cache.insert(key, pixmap);
    return pixmap;
}

} // namespace skin
