// What the window allows after each event: the button lists the steps set,
// and one rule for how a step's end gives the controls back. The window
// tests follow the common paths through the window itself.
#include <gtest/gtest.h>

#include <string>

#include "app/window_state.h"

using namespace tabrovin;

namespace {

// "1" for an enabled button, "0" for a disabled one, cmd(0) first.
std::string shown(const ButtonStates& states) {
    std::string out;
    for (bool on : states) out += on ? '1' : '0';
    return out;
}

std::string shown(const WindowState& s) {
    std::string out;
    for (int i = 0; i < kButtonCount; ++i) out += s.button(i) ? '1' : '0';
    return out;
}

// A window whose choice listed a sheet's columns.
WindowState chosen() {
    WindowState s;
    s.begin(Step::Open);
    s.end(Ending::Succeeded, /*listedColumns=*/true);
    return s;
}

}  // namespace

TEST(ButtonStates, ListAndModeDecideEveryButtonAndItemsCompareWhole) {
    EXPECT_EQ(shown(buttonStates("5", 0)), "0000010");
    EXPECT_EQ(shown(buttonStates("19", 1)), "1111111");
    EXPECT_EQ(shown(buttonStates("55", 0)), "0000000");
    EXPECT_EQ(shown(buttonStates("1,5", 1)), "1011101");
    EXPECT_EQ(shown(buttonStates("15", 1)), "1111111");  // one item 15: neither 1 nor 5
    EXPECT_EQ(shown(buttonStates("6,0", 0)), "1000001");
    EXPECT_EQ(shown(buttonStates("", 0)), "0000000");
    EXPECT_EQ(shown(buttonStates("1, 5", 0)), "0100000");  // " 5" is no button
}

// However a step ends, and whether the fault was found before it began, it
// gives the buttons back; the keyword delete only once its message closed.
TEST(WindowState, EveryEndingGivesTheButtonsBackByOneRule) {
    for (Ending e : {Ending::Succeeded, Ending::Refused, Ending::Cancelled, Ending::Failed}) {
        for (Step step : {Step::Import, Step::Dedupe, Step::Delete, Step::Export}) {
            SCOPED_TRACE(static_cast<int>(step) * 10 + static_cast<int>(e));
            WindowState ran = chosen();
            ran.begin(step);
            ran.end(e);
            EXPECT_EQ(shown(ran), step == Step::Delete ? "0000000" : "1111111");
            ran.messageClosed();
            EXPECT_EQ(shown(ran), "1111111");
            if (e == Ending::Succeeded) continue;
            WindowState checked = chosen();
            checked.refusedBeforeStart(step, e);
            checked.messageClosed();
            EXPECT_EQ(shown(checked), shown(ran));
            EXPECT_EQ(checked.allows(Control::List1), ran.allows(Control::List1));
        }
        if (e == Ending::Succeeded) continue;
        // A failed choice never took the buttons and leaves them as they were.
        WindowState open;
        open.begin(Step::Open);
        open.end(e);
        EXPECT_EQ(shown(open), "1111101");
        EXPECT_TRUE(open.allows(Control::List1));
    }
}

TEST(WindowState, TicksStayEditableUntilAnImportAddsARow) {
    WindowState s = chosen();
    s.refusedBeforeStart(Step::Import, Ending::Failed);  // nothing ticked
    EXPECT_TRUE(s.allows(Control::List1)) << "the message asks for a tick in this list";
    s.begin(Step::Import);
    s.end(Ending::Cancelled, false, /*changedTable=*/true);
    EXPECT_FALSE(s.allows(Control::List1)) << "a second import would add the rows twice";
}

// While a step runs only the tools that change nothing work; the choice
// and undo swap or measure in one go and offer no cancel.
TEST(WindowState, WhileAStepRunsOnlyCancelAndHarmlessToolsWork) {
    for (Step step : {Step::Open, Step::Undo, Step::Import, Step::Export}) {
        SCOPED_TRACE(static_cast<int>(step));
        WindowState s;
        s.setUndoAvailable(true);
        s.setRecentAvailable(true);
        s.begin(step);
        EXPECT_EQ(s.cancelShown(), step != Step::Open && step != Step::Undo);
        for (Control c :
             {Control::List1, Control::MenuImport, Control::MenuExport, Control::ViewData,
              Control::Undo, Control::Recent, Control::Drops, Control::Options})
            EXPECT_FALSE(s.allows(c)) << static_cast<int>(c);
        s.cancelAsked();
        EXPECT_FALSE(s.allows(Control::Cancel)) << "a second cancel asks nothing more";
        s.end(Ending::Cancelled);
        EXPECT_TRUE(s.allows(Control::Undo) && s.allows(Control::Recent));
    }
}
