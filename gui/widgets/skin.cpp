#include "gui/widgets/skin.h"

#include <QApplication>
#include <QGuiApplication>
#include <QHash>
#include <QPainter>
#include <QPalette>
#include <QSvgRenderer>

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

QPixmap Art(const QString& name, QSize size) {
    const qreal ratio = qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
    const QString key = name + QLatin1Char('@') + QString::number(size.width()) + QLatin1Char('x') +
                        QString::number(size.height()) + QLatin1Char('@') + QString::number(ratio);
    static QHash<QString, QPixmap> cache;
    if (auto it = cache.constFind(key); it != cache.constEnd())
        return *it;
    QPixmap pixmap(size * ratio);
    pixmap.fill(Qt::transparent);
    QSvgRenderer renderer(QStringLiteral(":/art/") + name + QStringLiteral(".svg"));
    if (renderer.isValid()) {
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter);
    }
    pixmap.setDevicePixelRatio(ratio);
    cache.insert(key, pixmap);
    return pixmap;
}

} // namespace skin
