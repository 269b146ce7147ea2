// Every box and window takes the whole size its contents need on the
// platform it is drawn on: no control sticks out of its window or its parent,
// where it would be cut off. The same test runs offscreen and on an X display
// (gui.xcb.window_fit_test), where a real server decides the window's size.
#include <QAbstractScrollArea>
#include <QTest>
#include <QWindow>

#include "gui/app/prompt_box.h"
#include "gui/app/prompt_texts.h"
#include "gui/recover/recover_progress.h"
#include "gui/settings/about_window.h"
#include "gui/settings/settings_window.h"
#include "gui_test_support.h"
#include "scan/progress.h"

using namespace gui_test;

namespace {

QString Describe(const QWidget* w) {
    return QString::fromLatin1(w->metaObject()->className()) + QLatin1Char(' ') + w->objectName();
}

QString Rect(const QRect& r) {
    return QStringLiteral("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

// Lets the window system answer: on a real display a window's size is the
// server's to confirm.
void SettleWindow(QWidget* window) {
    QVERIFY(QTest::qWaitForWindowExposed(window));
    Settle(10);
}

// What `window` shows cut off: each visible control that reaches beyond its
// parent or beyond the window, and a window smaller than it asked to be on
// the screen. What a list or a scroll area scrolls is clipped on purpose.
QStringList CutOff(QWidget* window) {
    QStringList faults;
    if (QWindow* handle = window->windowHandle(); handle && handle->size() != window->size())
        faults << QStringLiteral("%1 is %2x%3 on the screen but laid out %4x%5")
                      .arg(Describe(window))
                      .arg(handle->width())
                      .arg(handle->height())
                      .arg(window->width())
                      .arg(window->height());
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (w->isWindow() || !w->isVisibleTo(window))
            continue;
        bool scrolled = false;
        for (QWidget* up = w->parentWidget(); up && up != window && !scrolled; up = up->parentWidget())
            scrolled = qobject_cast<QAbstractScrollArea*>(up) != nullptr;
        if (scrolled)
            continue;
        const QRect inParent = w->geometry();
        const QRect inWindow(w->mapTo(window, QPoint(0, 0)), w->size());
        if (!w->parentWidget()->rect().contains(inParent))
            faults << QStringLiteral("%1 at %2 beyond its parent %3 (%4)")
                          .arg(Describe(w), Rect(inParent), Describe(w->parentWidget()), Rect(w->parentWidget()->rect()));
        else if (!window->rect().contains(inWindow))
            faults << QStringLiteral("%1 at %2 beyond its window %3 (%4)")
                          .arg(Describe(w), Rect(inWindow), Describe(window), Rect(window->rect()));
    }
    return faults;
}

void ExpectWhole(QWidget* window, const QString& what) {
    QVERIFY2(window && window->isVisible(), qPrintable(what));
    SettleWindow(window);
    const QStringList faults = CutOff(window);
    QVERIFY2(faults.isEmpty(), qPrintable(what + QStringLiteral(": ") + faults.join(QStringLiteral("; "))));
}

// Shows the window or box `what` names in `main`, as the program shows it.
QWidget* Show(gui::TFram_UndeleteMain& main, const QString& what) {
    const QStringList words = what.split(QLatin1Char(' '));
    if (words[0] == QLatin1String("notice")) {
        main.ShowNotice(static_cast<gui::Notice>(words[1].toInt()));
        return main.NoticeBox();
    }
    if (words[0] == QLatin1String("question")) {
        main.Dim();
        main.QuestionBox()->ShowQuestion(static_cast<gui::Question>(words[1].toInt()));
        return main.QuestionBox();
    }
    if (what == QLatin1String("settings")) {
        main.Hub().Send(gui::Msg::OpenSettings);
        return main.SettingsWindow();
    }
    if (what == QLatin1String("about")) {
        main.OpenAbout();
        return main.AboutWindow();
    }
    if (words[0] == QLatin1String("recovery")) {
        gui::Tfrm_RecoverProgress& progress = *main.RecoverProgress();
        main.Dim();
        progress.ShowRunning();
        if (words[1] != QLatin1String("running")) {
            main.Progress().FRecoverFiles = 5;
            main.Progress().FRecoverAttempted = 5;
            main.Progress().FRecoverSucceeded = words[1] == QLatin1String("success") ? 5 : 3;
            progress.ShowFinished();
        }
        return &progress;
    }
    return &main;
}

} // namespace

class WindowFitTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;

private slots:
    void initTestCase() { PrepareEnvironment(dir_); }

    // Each in a fresh main window: a box shown first of all is laid out before
    // it was ever shown, which is where its controls went astray.
    void EveryBoxAndWindowShowsItsContentsWhole_data() {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("what");
        QStringList windows{QStringLiteral("main window")};
        for (int kind = int(gui::Notice::NoTypeChosen); kind <= int(gui::Notice::ReadOnlyFolder); ++kind)
            windows << QStringLiteral("notice %1").arg(kind);
        for (int kind = int(gui::Question::RecoverOntoSource); kind <= int(gui::Question::BackLeavingResults); ++kind)
            windows << QStringLiteral("question %1").arg(kind);
        // The deep-scan offer, the longest of the offers.
        windows << QStringLiteral("question %1").arg(int(gui::Question::DeepScanWholeImage));
        windows << QStringLiteral("settings") << QStringLiteral("about") << QStringLiteral("recovery running")
                << QStringLiteral("recovery success") << QStringLiteral("recovery failure");
        for (const char* language : {"English", "Deutsch"})
            for (const QString& what : windows)
                QTest::newRow(qPrintable(QString::fromLatin1(language) + QLatin1Char(' ') + what))
                    << QString::fromLatin1(language) << what;
    }
    void EveryBoxAndWindowShowsItsContentsWhole() {
        QFETCH(QString, language);
        QFETCH(QString, what);
        WriteMainIni({QStringLiteral("[Main]"), QStringLiteral("Language=") + language});
        MainHarness main;
        main.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(main.window.get()));
        ExpectWhole(Show(*main.window, what), what);
    }
};

QTEST_MAIN(WindowFitTest)
#include "window_fit_test.moc"
