// What the window allows after each event: the button lists the steps set,
// one rule for how a step's end gives the controls back, and the tools
// around the steps while one runs.
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

TEST(WindowState, TheStepsLeaveTheButtonsTheirTableSays) {
    WindowState s;
    EXPECT_EQ(shown(s), "1111101");
    s.begin(Step::Open);
    EXPECT_EQ(shown(s), "0000000");
    EXPECT_FALSE(s.allows(Control::List1));
    s.end(Ending::Succeeded, /*listedColumns=*/true);
    EXPECT_EQ(shown(s), "0000010");
    EXPECT_TRUE(s.allows(Control::List1));
    s.begin(Step::Import);
    s.end(Ending::Succeeded, false, true);
    EXPECT_EQ(shown(s), "1111111");
    EXPECT_FALSE(s.allows(Control::List1)) << "only a new choice lists columns again";
    // A sheet with headings only lists nothing and leaves the buttons alone.
    s.begin(Step::Open);
    s.end(Ending::Succeeded, false);
    EXPECT_EQ(shown(s), "1111111");
    s.begin(Step::Undo);
    s.end(Ending::Succeeded);
    EXPECT_EQ(shown(s), "1111101") << "undo needs a fresh choice to import";
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
            EXPECT_EQ(ran.lastEnding(), e);
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

TEST(WindowState, WhileAStepRunsOnlyCancelAndHarmlessToolsWork) {
    WindowState s;
    s.setUndoAvailable(true);
    s.setRecentAvailable(true);
    EXPECT_FALSE(s.cancelShown() || s.allows(Control::Cancel));
    s.begin(Step::Dedupe);
    for (Control c : {Control::List1, Control::MenuImport, Control::MenuExport, Control::ViewData,
                      Control::Undo, Control::Recent, Control::Drops, Control::Options})
        EXPECT_FALSE(s.allows(c)) << static_cast<int>(c);
    for (Control c : {Control::ExportFolder, Control::Guide, Control::Cancel})
        EXPECT_TRUE(s.allows(c)) << static_cast<int>(c);
    s.cancelAsked();
    EXPECT_TRUE(s.cancelShown());
    EXPECT_FALSE(s.allows(Control::Cancel)) << "a second cancel asks nothing more";
    s.end(Ending::Cancelled);
    EXPECT_FALSE(s.cancelShown());
    for (Control c : {Control::MenuExport, Control::Undo, Control::Recent, Control::Drops})
        EXPECT_TRUE(s.allows(c)) << static_cast<int>(c);
    for (Step once : {Step::Open, Step::Undo}) {
        WindowState t;
        t.begin(once);
        EXPECT_FALSE(t.cancelShown()) << "it cannot stop halfway";
    }
}
