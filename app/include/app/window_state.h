#pragma once
// What the window allows, decided in one place: which view shows, whether a
// step runs and which, what the last step left enabled. The window feeds it
// events and asks it about each control; nothing else enables a control.

#include <array>
#include <optional>
#include <string_view>

#include "app/outcomes.h"

namespace tabrovin {

constexpr int kButtonCount = 7;  // cmd(0) .. cmd(6)
using ButtonStates = std::array<bool, kButtonCount>;

// `list` holds button indexes separated by commas, compared as whole items
// ("19" and "55" name no button). Mode 0: the listed buttons are enabled and
// all others disabled; mode 1: the listed ones disabled, all others enabled.
ButtonStates buttonStates(std::string_view list, int mode);

enum class View { ImportAndProcessing, Export };

// Everything whose enabled state the window sets. Options are the settings
// added beside the steps; they may change whenever no step runs.
enum class Control {
    Cmd0,
    Cmd1,
    Cmd2,
    Cmd3,
    Cmd4,
    Cmd5,
    Cmd6,
    List1,
    MenuImport,
    MenuExport,
    ViewData,
    Undo,
    ExportFolder,
    Recent,
    Drops,
    Guide,
    Cancel,
    Options,
};

// How a step ended, as the window needs to know it.
enum class Ending { Succeeded, Refused, Cancelled, Failed };

Ending endingOf(const Error& e);

class WindowState {
  public:
    // The window as it opens: import view, only "2. 开始导入" disabled.
    WindowState();

    View view() const { return view_; }
    std::optional<Step> running() const { return running_; }
    bool busy() const { return running_.has_value(); }

    // Whether `c` can be used now.
    bool allows(Control c) const;
    // Whether the cancel control shows: the running step checks for a cancel.
    bool cancelShown() const { return busy() && stoppable_; }
    bool button(int index) const { return allows(static_cast<Control>(index)); }

    void showView(View v) { view_ = v; }
    // Facts the window learns outside the steps.
    void setUndoAvailable(bool available) { undoAvailable_ = available; }
    void setRecentAvailable(bool available) { recentAvailable_ = available; }

    // A step starts on a worker. Only the steps that check for a cancel
    // offer one: the import, the two cleanings and the export; a choice
    // measures its sheet, and undo swaps files, in one go.
    void begin(Step step);
    // The cancel was asked for: the control stays visible but is spent.
    void cancelAsked() { cancellable_ = false; }
    // The running step ended. `listedColumns`: a workbook choice that listed
    // a sheet with data rows; `changedTable`: the step changed wen (an import
    // that inserted rows, even if it then failed).
    void end(Ending ending, bool listedColumns = false, bool changedTable = false);
    // The step's closing message was closed. The keyword delete gives its
    // buttons back only now; every other step before its message.
    void messageClosed() { holdButtons_ = false; }
    // A step refused by the window before it began (a number typed wrong,
    // nothing to export): what the step's own refusal or failure would leave.
    void refusedBeforeStart(Step step, Ending ending);
    // The export view was opened, or the export lists were worked on: all
    // seven buttons are enabled again.
    void exportListsRebuilt();

  private:
    void settle(Step step, Ending ending, bool listedColumns, bool changedTable);
    void setButtons(std::string_view list, int mode) { buttons_ = buttonStates(list, mode); }

    View view_ = View::ImportAndProcessing;
    std::optional<Step> running_;
    bool stoppable_ = false;    // the running step checks for a cancel
    bool cancellable_ = false;  // ... and none was asked for yet
    ButtonStates buttons_{};
    bool list1Editable_ = true;
    bool holdButtons_ = false;  // until the closing message is closed
    bool undoAvailable_ = false;
    bool recentAvailable_ = false;
};

}  // namespace tabrovin
