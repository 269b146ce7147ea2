#pragma once
// A page of the main window (the start page, the result page): the title bar
// with the options, minimize and close buttons above the page's own body.
// Its buttons only post messages; a press on its title moves the window.
#include <functional>

#include <QWidget>

class RdPopupMenu;
class RdTitleBar;
class TLanUse;

namespace gui {

class MessageHub;

class SkinPage : public QWidget {
    Q_OBJECT
public:
    // `openAbout` opens the About window from the options menu.
    SkinPage(MessageHub& hub, const TLanUse& language, std::function<void()> openAbout, QWidget* parent);

    RdTitleBar* TitleBar() const { return title_; }
    QWidget* Body() const { return body_; }
    RdPopupMenu* OptionsMenu() const { return menu_; }

protected:
    void paintEvent(QPaintEvent* event) override;

    MessageHub& hub_;
    const TLanUse& language_;

private:
    RdTitleBar* title_;
    QWidget* body_;
    RdPopupMenu* menu_;
};

} // namespace gui
