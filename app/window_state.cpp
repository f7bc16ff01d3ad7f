#include "app/window_state.h"

#include <cassert>
#include <string>

namespace tabrovin {
namespace {

// The button lists the steps set.
constexpr std::string_view kNoButton = "19";
constexpr std::string_view kImportButton = "5";

}  // namespace

ButtonStates buttonStates(std::string_view list, int mode) {
    assert(mode == 0 || mode == 1);
    const std::string padded = "," + std::string(list) + ",";
    const bool listedState = mode == 0;
    ButtonStates states{};
    for (int i = 0; i < kButtonCount; ++i) {
        bool listed = padded.find("," + std::to_string(i) + ",") != std::string::npos;
        states[i] = listed ? listedState : !listedState;
    }
    return states;
}

Ending endingOf(const Error& e) {
    if (e.isCancel()) return Ending::Cancelled;
    return e.isRefusal() ? Ending::Refused : Ending::Failed;
}

WindowState::WindowState() {
    setButtons(kImportButton, 1);
}

bool WindowState::allows(Control c) const {
    const int index = static_cast<int>(c);
    if (index < kButtonCount) return !busy() && !holdButtons_ && buttons_[index];
    switch (c) {
        case Control::List1:
            return !busy() && list1Editable_;
        case Control::Undo:
            return !busy() && undoAvailable_;
        case Control::Recent:
            return !busy() && recentAvailable_;
        case Control::Cancel:
            return busy() && cancellable_;
        case Control::ExportFolder:
        case Control::Guide:
            return true;  // they change nothing of the folder
        default:
            return !busy();
    }
}

void WindowState::begin(Step step) {
    running_ = step;
    stoppable_ = cancellable_ = step == Step::Import || step == Step::Dedupe ||
                                step == Step::Delete || step == Step::Export;
}

void WindowState::end(Ending ending, bool listedColumns, bool changedTable) {
    assert(running_);
    const Step step = *running_;
    running_.reset();
    stoppable_ = cancellable_ = false;
    settle(step, ending, listedColumns, changedTable);
}

void WindowState::refusedBeforeStart(Step step, Ending ending) {
    settle(step, ending, false, false);
}

void WindowState::exportListsRebuilt() {
    setButtons(kNoButton, 1);
}

// One rule for every path: a step that ends, however it ends, gives the
// buttons back as its successful end would, since a dead window helps nobody.
// The choice of a workbook never took them and leaves them as they were
// unless it listed data to import; undo needs a fresh choice to import.
void WindowState::settle(Step step, Ending ending, bool listedColumns, bool changedTable) {
    holdButtons_ = step == Step::Delete;
    const bool ok = ending == Ending::Succeeded;
    switch (step) {
        case Step::Open:
            list1Editable_ = true;
            if (ok && listedColumns) setButtons(kImportButton, 0);
            break;
        case Step::Import:
            setButtons(kNoButton, 1);
            // Ticks stay editable while the import has not added a row.
            list1Editable_ = !ok && !changedTable;
            break;
        case Step::Undo:
            if (ok) {
                setButtons(kImportButton, 1);
                list1Editable_ = false;
            }
            break;
        default:
            setButtons(kNoButton, 1);
            break;
    }
}

}  // namespace tabrovin
