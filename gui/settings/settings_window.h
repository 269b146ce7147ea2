#pragma once
// TFrm_RecoverySetting: the language, whether the elevation prompt is
// skipped, and how updates are handled, kept in Main.ini. OK writes the
// three choices; Cancel and Close write nothing.
#include <memory>

#include "gui/widgets/form_frame.h"

class RdCheckBox;
class RdCheckList;
class RdImgButton;
class RdLabel;
class TLanguage;

namespace gui {

class TFrm_RecoverySetting : public RdFormFrame {
    Q_OBJECT
public:
    explicit TFrm_RecoverySetting(QWidget* mainWindow);
    ~TFrm_RecoverySetting() override;

    // Centres the window on the main window and shows it, modal for input.
    void Open();

    RdCheckList* LanguageList() const { return languages_; }
    RdCheckBox* SkipUacBox() const { return skipUac_; }
    RdCheckBox* AutoUpdateBox() const { return autoUpdate_; }
    RdCheckBox* NotifyBox() const { return notify_; }
    RdImgButton* OkButton() const { return ok_; }
    RdImgButton* CancelButton() const { return cancel_; }

    static QString MainIniPath();

private:
    void SelectCurrentLanguage();
    void Store();

    std::unique_ptr<TLanguage> translator_;
    QString currentLanguage_;
    RdLabel* languageLabel_;
    RdCheckList* languages_;
    RdCheckBox* skipUac_;
    RdLabel* updateLabel_;
    RdCheckBox* autoUpdate_;
    RdCheckBox* notify_;
    RdImgButton* ok_;
    RdImgButton* cancel_;
};

} // namespace gui
