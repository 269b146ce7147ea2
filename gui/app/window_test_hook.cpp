#include "gui/app/window_test_hook.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "gui/app/main_window.h"
#include "gui/recover/desktop_shell.h"
#include "gui/recover/recover_progress.h"
#include "gui/results/result_list_model.h"
#include "gui/results/result_page.h"
#include "gui/start/scan_dial.h"
#include "gui/start/start_page.h"
#include "gui/widgets/image_button.h"
#include "scan/progress.h"

namespace gui {

namespace {

constexpr int kFilesToRecover = 3;
constexpr int kStepLimitMs = 60000;

class FixedFolder : public FolderChooser {
public:
    explicit FixedFolder(QString folder) : folder_(std::move(folder)) {}
    std::optional<QString> Choose(QWidget*, const QString&, const QString&) override { return folder_; }

private:
    QString folder_;
};

class NoBrowser : public FolderOpener {
public:
    bool Open(const QUrl&) override { return true; }
};

// Each step waits for its condition, then acts; the run ends after the last.
struct Step {
    const char* name;
    std::function<bool()> ready;
    std::function<void()> act;
};

void Say(const char* what) { std::fprintf(stderr, "window test run: %s\n", what); }

} // namespace

bool StartWindowTestRun(TFram_UndeleteMain& window) {
    const QString folder = qEnvironmentVariable("DUNRO_WINDOW_TEST_RECOVER");
    if (folder.isEmpty())
        return false;
    window.SetFolderChooser(std::make_unique<FixedFolder>(folder));
    window.SetFolderOpener(std::make_unique<NoBrowser>());
    window.SetProcessEnd([] { QApplication::exit(0); });

    auto steps = std::make_shared<std::vector<Step>>(std::vector<Step>{
        {"the drive list", [&window] { return !window.WaitingForDriveList(); },
         [&window] { window.StartPage()->ScanButton()->click(); }},
        {"the result page",
         [&window] { return window.Progress().FScanIdle && window.ResultPage()->isVisible(); },
         [&window] {
             ResultListModel& model = *window.ResultPage()->ListModel();
             for (int row = 0; row < kFilesToRecover && row < model.rowCount(); ++row)
                 model.setData(model.index(row, 0), Qt::Checked, Qt::CheckStateRole);
             window.ResultPage()->RecoverButton()->click();
         }},
        {"the end of the recovery",
         [&window] { return window.RecoverProgress() && window.RecoverProgress()->Finished(); },
         [&window] {
             const bool recovered = window.Progress().FRecoverSucceeded >= uint32_t(kFilesToRecover);
             window.RecoverProgress()->OkButton()->click();
             Say(recovered ? "recovered" : "the recovery fell short");
             QApplication::exit(recovered ? 0 : 1);
         }},
    });
    auto timer = new QTimer(&window);
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    auto next = std::make_shared<size_t>(0);
    QObject::connect(timer, &QTimer::timeout, &window, [=] {
        if (*next >= steps->size())
            return;
        const Step& step = (*steps)[*next];
        if (!step.ready()) {
            if (clock->elapsed() > kStepLimitMs) {
                std::fprintf(stderr, "window test run: waited in vain for %s\n", step.name);
                QApplication::exit(1);
            }
            return;
        }
        ++*next;
        clock->restart();
        step.act();
    });
    timer->start(100);
    return true;
}

} // namespace gui
