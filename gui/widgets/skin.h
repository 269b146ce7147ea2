#pragma once
// The one palette and the one font setting of every window: the controls ask
// here for their colours and fonts, so the program looks like one product.
#include <QColor>
#include <QFont>
#include <QPixmap>
#include <QString>

class QAbstractScrollArea;
class QApplication;

namespace skin {

struct Palette {
    QColor titleTop{0x16, 0x35, 0x57};
    QColor titleBottom{0x1e, 0x4b, 0x78};
    QColor titleText{0xff, 0xff, 0xff};
    QColor page{0xf3, 0xf6, 0xfa};
    QColor panel{0xff, 0xff, 0xff};
    QColor border{0xd3, 0xdc, 0xe7};
    QColor text{0x22, 0x33, 0x47};
    QColor mutedText{0x64, 0x76, 0x8c};
    QColor primary{0x23, 0x74, 0xd9};
    QColor primaryHover{0x35, 0x86, 0xea};
    QColor primaryPressed{0x18, 0x5c, 0xb5};
    QColor disabledFill{0xc2, 0xcc, 0xd8};
    QColor disabledText{0xf5, 0xf7, 0xfa};
    QColor secondaryHover{0xea, 0xf1, 0xfb};
    QColor secondaryPressed{0xd6, 0xe4, 0xf6};
    QColor accent{0xe2, 0x6b, 0x12};
    QColor focus{0xf0, 0x9a, 0x3e};
    QColor success{0x2e, 0x9d, 0x5b};
    QColor failure{0xd2, 0x3f, 0x3f};
    QColor selection{0xdc, 0xe9, 0xfa};
    QColor overlay{0x0d, 0x1a, 0x2a, 150};
};

const Palette& Colors();

// The program's font at a pixel size (pixels, not points: layouts stay the same on every screen).
QFont Font(int pixelSize = 12, bool bold = false);

// Sets the font, the palette and the artwork up for the whole program.
void Apply(QApplication& app);

// Gives a scroll area's bars the skin's thin rounded look.
void StyleScrollBars(QAbstractScrollArea& area);

// One of our pictures from gui/art, drawn at `size` for the screen's pixel ratio.
QPixmap Art(const QString& name, QSize size);

// Standard sizes of the skin.
constexpr int kTitleHeight = 46;
constexpr int kRadius = 6;

} // namespace skin
