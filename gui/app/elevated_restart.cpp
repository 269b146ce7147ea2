// The main window's side of the restart with administrator rights: on
// Windows the program runs as the user who started it, and raw drives are
// refused until it is started again through the system's consent prompt. The
// images offered so far go with it; the new window waits for this one to end.
#include "gui/app/main_window.h"
#include "gui/app/prompt_box.h"
#include "gui/common/texts.h"
#include "gui/common/trace.h"
#include "gui/settings/settings_window.h"
#include "gui/start/location_chooser.h"
#include "gui/start/start_page.h"
#include "shell/ini_file.h"

namespace gui {

void TFram_UndeleteMain::OnRestartAsAdministratorRequested() {
    TSafeIniFile ini;
    ini.Load(ToUtf8(TFrm_RecoverySetting::MainIniPath()));
    if (ini.ReadString("main", "SkipUAC", "1") == "1") {
        RestartAsAdministrator();
        return;
    }
    Dim();
    question_->ShowQuestion(Question::RestartAsAdministrator);
}

void TFram_UndeleteMain::RestartAsAdministrator() {
    question_->hide();
    std::vector<std::string> arguments{"--restarted-from", std::to_string(platform::CurrentProcessId())};
    for (const QString& image : startPage_->Chooser()->OfferedImages())
        arguments.push_back(ToUtf8(image));
    std::string error;
    const auto restart = elevatedRestart_ ? elevatedRestart_ : platform::RestartElevated;
    const platform::ElevationOutcome outcome = restart(arguments, error);
    if (outcome == platform::ElevationOutcome::Started) {
        EndProcess();
        return;
    }
    // Declined at the system's prompt: the user chose to stay as they are.
    if (outcome == platform::ElevationOutcome::Failed)
        qCWarning(dunroGui) << "restart with administrator rights failed:" << FromUtf8(error);
    Undim();
}

} // namespace gui
