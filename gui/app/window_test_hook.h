#pragma once
// A scripted run of the whole program for smoke tests of a built window (the
// Windows build under Wine, where no test harness can reach in): with
// DUNRO_WINDOW_TEST_RECOVER set to a folder, the window goes the way a user
// does once its drive list is ready: Scan, check the first three files the
// result page lists, Recover into that folder, OK; then it ends with exit
// code 0, or 1 when a step did not come within a minute.
namespace gui {

class TFram_UndeleteMain;

// Starts the run when the variable is set; false otherwise.
bool StartWindowTestRun(TFram_UndeleteMain& window);

} // namespace gui
