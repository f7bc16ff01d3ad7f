#pragma once
// The window's events, free of Qt Widgets: the Qt window forwards its
// signals here, the batch command and tests call them directly. While one
// action runs (Session::busy), every entry point except closing refuses to
// start another and returns at once.

#include "core/session.h"

namespace tabrovin {

// Start-up: fills Combo1 from the column list file.
void formLoad(Session& s);
// Closing: saves Combo1 to the column list file and releases the database.
// Returns false (and does nothing) while an action runs: the window then
// closes once the action has ended. A failed save is reported, and the
// program closes all the same.
bool formQueryUnload(Session& s);

// A click on command button cmd(index), 0..6.
void cmdClick(Session& s, int index);
// Menu entry SR(index): 0 the import-and-processing view, 1 the export view.
void menuClick(Session& s, int index);

void list2DblClick(Session& s);
void list3Click(Session& s);
void list3DblClick(Session& s);

// The filter of the workbook chooser: the file types the readers support.
extern const char* const kWorkbookFilter;

}  // namespace tabrovin
