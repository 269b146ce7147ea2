#pragma once
// The skinned popup menu: a QMenu (screen readers see a menu with items)
// drawn in our colours by a style that paints its panel and rows.
#include <QMenu>

class RdPopupMenu : public QMenu {
    Q_OBJECT
public:
    explicit RdPopupMenu(QWidget* parent = nullptr);
};
