// Draws the program's icon at the sizes of the desktop's icon theme:
// dunro_icon_png SVG NAME FOLDER writes FOLDER/<n>x<n>/apps/NAME.png for
// each size. The picture is drawn centred, keeping its proportions.
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fputs("usage: dunro_icon_png SVG NAME FOLDER\n", stderr);
        return 2;
    }
    QSvgRenderer svg(QString::fromLocal8Bit(argv[1]));
    if (!svg.isValid()) {
        std::fprintf(stderr, "dunro_icon_png: %s is no SVG picture\n", argv[1]);
        return 1;
    }
    svg.setAspectRatioMode(Qt::KeepAspectRatio);
    const QString name = QString::fromLocal8Bit(argv[2]);
    const QDir folder(QString::fromLocal8Bit(argv[3]));
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            svg.render(&painter, QRectF(0, 0, size, size));
        }
        const QString sub = QStringLiteral("%1x%1/apps").arg(size);
        const QString path = folder.filePath(sub + QLatin1Char('/') + name + QStringLiteral(".png"));
        if (!folder.mkpath(sub) || !image.save(path, "PNG")) {
            std::fprintf(stderr, "dunro_icon_png: cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
