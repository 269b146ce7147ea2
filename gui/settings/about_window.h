#pragma once
// TFrm_About: the program's title, its version from the build, and what it
// does. The main window is dimmed while it shows.
#include "gui/widgets/form_frame.h"

class RdImgButton;
class RdLabel;
class TLanUse;

namespace gui {

class MessageHub;

// The version the build was made with (one number, set in CMakeLists.txt).
QString ProgramVersion();

class TFrm_About : public RdFormFrame {
    Q_OBJECT
public:
    TFrm_About(MessageHub& hub, const TLanUse& language, QWidget* mainWindow);

    void Open();
    RdImgButton* OkButton() const { return ok_; }
    RdLabel* VersionLabel() const { return version_; }

private:
    void Dismiss();
    MessageHub& hub_;
    RdLabel* title_;
    RdLabel* version_;
    RdLabel* description_;
    RdImgButton* ok_;
};

} // namespace gui
