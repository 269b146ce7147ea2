#include "gui/widgets/popup_menu.h"

#include <QPainter>
#include <QProxyStyle>
#include <QStyleOptionMenuItem>

#include "gui/widgets/skin.h"

namespace {

class MenuStyle : public QProxyStyle {
public:
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* p,
                       const QWidget* widget) const override {
        if (element == PE_PanelMenu || element == PE_FrameMenu) {
            p->save();
            p->setPen(skin::Colors().border);
            p->setBrush(skin::Colors().panel);
            p->drawRect(option->rect.adjusted(0, 0, -1, -1));
            p->restore();
            return;
        }
        QProxyStyle::drawPrimitive(element, option, p, widget);
    }

    void drawControl(ControlElement element, const QStyleOption* option, QPainter* p,
                     const QWidget* widget) const override {
        const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
        if (element != CE_MenuItem || !item) {
            QProxyStyle::drawControl(element, option, p, widget);
            return;
        }
        const skin::Palette& c = skin::Colors();
        p->save();
        p->fillRect(option->rect, c.panel);
        if (item->menuItemType == QStyleOptionMenuItem::Separator) {
            p->setPen(c.border);
            const int y = option->rect.center().y();
            p->drawLine(option->rect.left() + 8, y, option->rect.right() - 8, y);
        } else {
            const bool selected = option->state & State_Selected;
            if (selected)
                p->fillRect(option->rect.adjusted(2, 1, -2, -1), c.selection);
            p->setPen(option->state & State_Enabled ? (selected ? c.primaryPressed : c.text) : c.mutedText);
            p->setFont(skin::Font(13));
            p->drawText(option->rect.adjusted(16, 0, -16, 0), Qt::AlignVCenter | Qt::AlignLeft | Qt::TextShowMnemonic,
                        item->text);
        }
        p->restore();
    }

    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                           const QWidget* widget) const override {
        QSize s = QProxyStyle::sizeFromContents(type, option, size, widget);
        if (type == CT_MenuItem) {
            const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
            const bool separator = item && item->menuItemType == QStyleOptionMenuItem::Separator;
            const int textWidth = item ? QFontMetrics(skin::Font(13)).horizontalAdvance(item->text) : 0;
            s = QSize(std::max(160, textWidth + 40), separator ? 9 : 32);
        }
        return s;
    }

    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override {
        if (metric == PM_MenuPanelWidth)
            return 1;
        if (metric == PM_MenuVMargin)
            return 4;
        if (metric == PM_MenuHMargin)
            return 0;
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
};

} // namespace

RdPopupMenu::RdPopupMenu(QWidget* parent) : QMenu(parent) {
    auto* style = new MenuStyle;
    style->setParent(this);
    setStyle(style);
    setFont(skin::Font(13));
}
