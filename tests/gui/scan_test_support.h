#pragma once
// What the tests of a scan from the window share: the corpus images, the
// count the command line reports, and the clicks a user makes on the start
// page and its location list.
#include <QListWidgetItem>
#include <QString>
#include <QStringList>

namespace gui {
class RdLocationList;
class TFrm_Choose;
} // namespace gui

namespace gui_test {

// A corpus image, built by the corpus fixture.
QString Corpus(const char* name);

// How many files `dunro scan` lists for `images` with `types` (its --types
// list; empty: all kinds) and `more` options; -1 when it failed.
int CommandLineCount(const QStringList& images, const QString& types = {}, const QStringList& more = {});

// The rows `dunro scan` lists for `images` with `types` and `more` options, in
// its order, each as the result list's cells read: name, path, recoverability,
// size and date joined by " | ", the path written with the system's
// separator; empty when it failed.
QStringList CommandLineRows(const QStringList& images, const QString& types = {}, const QStringList& more = {});

// The list entry whose drive (column 0) is `drive`; null when none is.
QListWidgetItem* EntryOf(gui::RdLocationList& list, const QString& drive);
// A click on an entry's caption, as a user flips its check mark.
void ClickEntry(gui::RdLocationList& list, QListWidgetItem* item);
// A click on a folder entry's remove mark.
void ClickRemoveMark(gui::RdLocationList& list, QListWidgetItem* item);

// Unchecks every entry of the list with the check-all box, then checks `drives`.
void ChooseOnly(gui::TFrm_Choose& page, const QStringList& drives);
// Switches off every type, then on the types at `indices` (the page's order).
void ChooseTypes(gui::TFrm_Choose& page, const QList<int>& indices);

// The number in the result page's header ("Deleted files found: 42 files (…)"); -1 when there is none.
int HeaderCount(const QString& header);

} // namespace gui_test
